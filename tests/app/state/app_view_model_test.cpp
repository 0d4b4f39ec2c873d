#include "app/state/app_view_model.h"
#include "tests/app/state/listing_adb.h"
#include "tests/app/state/signal_log.h"
#include "tests/support/run_task.h"
#include "tests/support/temp_folder.h"

#include <QPointer>

#include <gtest/gtest.h>

#include <memory>

namespace {

using testsupport::ListingAdb;
using testsupport::runTask;
using testsupport::SignalLog;
using State = AndroidDevice::State;

constexpr qint64 KiB = 1024;

class ViewModel : public ::testing::Test {
protected:
    ViewModel() : model(std::make_shared<AdbService>(adb.folder(), QStringList{})) {}

    ListingAdb adb;
    AppViewModel model;
};

TEST_F(ViewModel, DisplayNamePrefersTypedNameThenModelThenSerial) {
    const AndroidDevice pixel{"R58M", "Pixel_7_Pro", State::device};
    const AndroidDevice bare{"R58N", "", State::device};
    EXPECT_EQ(model.displayName(pixel), "Pixel 7 Pro");
    EXPECT_EQ(model.displayName(bare), "R58N");

    SignalLog log(model);
    model.setCustomName("R58M", "Work phone");
    EXPECT_EQ(model.displayName(pixel), "Work phone");
    model.setCustomName("R58M", "Work phone");
    EXPECT_EQ(log["customNames"], 1);
    // Clearing the field keeps an empty entry, which counts as no name.
    model.setCustomName("R58M", "");
    EXPECT_EQ(log["customNames"], 2);
    EXPECT_EQ(model.customNames().value("R58M", "absent"), "");
    EXPECT_EQ(model.displayName(pixel), "Pixel 7 Pro");
}

TEST_F(ViewModel, FirstScanListsPhonesReadsReadyOnesStorageAndClearsItsTexts) {
    adb.setListing("A device model:Alpha\nB unauthorized\n127.0.0.1:5557 device model:Wifi\n");
    adb.setStorage("A", 1000, 600);
    adb.setStorage("127.0.0.1:5557", 2000, 100);
    SignalLog log(model);
    bool busySeenDuringScan = false;
    QObject::connect(&model, &AppViewModel::devicesChanged, [&] { busySeenDuringScan = model.isBusy(); });

    runTask(model.refresh());

    ASSERT_EQ(model.devices().size(), 3);
    EXPECT_EQ(model.devices()[0], (AndroidDevice{"A", "Alpha", State::device}));
    EXPECT_EQ(model.devices()[1], (AndroidDevice{"B", "", State::unauthorized}));
    EXPECT_EQ(model.storageBySerial().value("A"), (StoragePair{600 * KiB, 1000 * KiB}));
    EXPECT_EQ(model.storageBySerial().value("127.0.0.1:5557"), (StoragePair{100 * KiB, 2000 * KiB}));
    EXPECT_FALSE(model.storageBySerial().contains("B"));
    EXPECT_EQ(adb.countCalls("-s|B|"), 0);
    EXPECT_TRUE(busySeenDuringScan);
    EXPECT_FALSE(model.isBusy());
    EXPECT_FALSE(model.statusMessage());
    EXPECT_FALSE(model.errorMessage());
    EXPECT_EQ(log["isBusy"], 2);
    EXPECT_EQ(log["statusMessage"], 2); // the scanning text, then absent
    EXPECT_EQ(log["errorMessage"], 0);  // it was absent already

    // Figures are kept: a second scan reads none again.
    adb.clearCalls();
    runTask(model.refresh());
    EXPECT_EQ(adb.calls(), QStringList({"devices|-l"}));
}

TEST_F(ViewModel, FailedScanKeepsTheListAndStoresTheToolsMessage) {
    adb.setListing("A device model:Alpha\n");
    adb.setStorage("A", 1000, 600);
    runTask(model.refresh());
    adb.failListing("error: protocol fault\n");
    SignalLog log(model);

    runTask(model.refresh());
    EXPECT_EQ(model.devices().size(), 1);
    EXPECT_TRUE(model.storageBySerial().contains("A"));
    EXPECT_EQ(model.errorMessage(), QString("adb devices -l failed:\nerror: protocol fault\n"));
    EXPECT_FALSE(model.statusMessage());
    EXPECT_FALSE(model.isBusy());
    EXPECT_EQ(log["devices"], 0);

    // The next good scan clears the error.
    adb.failListing({});
    runTask(model.refresh());
    EXPECT_FALSE(model.errorMessage());
}

TEST(ViewModelWithoutTool, AScanLeavesTheListAndSaysTheToolIsMissing) {
    testsupport::TempFolder empty;
    AppViewModel model(std::make_shared<AdbService>(empty.path(), QStringList{empty.file("none/adb")}));
    runTask(model.refresh());
    EXPECT_TRUE(model.devices().isEmpty());
    EXPECT_EQ(model.errorMessage(), QString("Couldn't find the `adb` tool. Install Android Platform Tools "
                                            "(e.g. `sudo apt install adb`)."));
    EXPECT_FALSE(model.statusMessage());
    EXPECT_FALSE(model.isBusy());
    // A poll fails quietly.
    runTask(model.poll());
    EXPECT_TRUE(model.devices().isEmpty());
}

TEST_F(ViewModel, APollWithTheSameSerialsAndStatesWritesNothing) {
    adb.setListing("A device model:Alpha\nB device model:Beta\n");
    adb.setStorage("A", 1000, 600);
    adb.setStorage("B", 1000, 600);
    runTask(model.refresh());
    adb.clearCalls();
    SignalLog log(model);

    runTask(model.poll());
    EXPECT_EQ(log.total(), 0);
    EXPECT_EQ(adb.calls(), QStringList({"devices|-l"}));

    // Only the model text changed: the old one stays.
    adb.setListing("A device model:Renamed\nB device model:Beta\n");
    runTask(model.poll());
    EXPECT_EQ(log.total(), 0);
    EXPECT_EQ(model.devices()[0].model, "Alpha");

    // A failing listing changes nothing either.
    adb.failListing("error: boom\n");
    runTask(model.poll());
    EXPECT_EQ(log.total(), 0);
    EXPECT_FALSE(model.errorMessage());
}

TEST_F(ViewModel, APollTakesNewPhonesAndStateChangesAndReadsFiguresOnce) {
    adb.setListing("A device model:Alpha\nB unauthorized\n");
    adb.setStorage("A", 1000, 600);
    adb.setStorage("B", 4000, 3000);
    runTask(model.refresh());
    EXPECT_FALSE(model.storageBySerial().contains("B"));

    // The user allowed debugging on B.
    adb.setListing("A device model:Alpha\nB device model:Beta\n");
    adb.clearCalls();
    SignalLog log(model);
    runTask(model.poll());
    EXPECT_EQ(model.devices()[1], (AndroidDevice{"B", "Beta", State::device}));
    EXPECT_EQ(model.storageBySerial().value("B"), (StoragePair{3000 * KiB, 4000 * KiB}));
    EXPECT_EQ(adb.countCalls("-s|B|shell|df"), 1);
    EXPECT_EQ(adb.countCalls("-s|A|"), 0);
    EXPECT_EQ(log["isBusy"] + log["statusMessage"] + log["errorMessage"], 0);

    // A third phone, and an order change, count as changes too.
    adb.setListing("C device model:Gamma\nA device model:Alpha\nB device model:Beta\n");
    adb.setStorage("C", 10, 5);
    runTask(model.poll());
    ASSERT_EQ(model.devices().size(), 3);
    EXPECT_EQ(model.devices()[0].serial, "C");
    EXPECT_EQ(model.storageBySerial().size(), 3);
}

TEST_F(ViewModel, AFailedOrUnreadableStorageQueryDropsTheFiguresAndIsAskedAgainLater) {
    adb.setListing("A device model:Alpha\nB device model:Beta\n");
    adb.setStorageText("A", "Filesystem Size Used Avail Use% Mounted on\n/dev/fuse 110G 7G 103G 7% /sdcard\n");
    adb.setStorage("B", 1000, 600);
    runTask(model.refresh());
    EXPECT_FALSE(model.storageBySerial().contains("A"));
    EXPECT_TRUE(model.storageBySerial().contains("B")); // the others go on

    adb.removeStorage("A"); // now the query fails outright
    adb.setListing("A device model:Alpha\nB device model:Beta\nC offline\n");
    runTask(model.poll());
    EXPECT_FALSE(model.storageBySerial().contains("A"));

    adb.setStorage("A", 2000, 1000);
    adb.setListing("A device model:Alpha\nB device model:Beta\n");
    runTask(model.poll());
    EXPECT_EQ(model.storageBySerial().value("A"), (StoragePair{1000 * KiB, 2000 * KiB}));
}

TEST_F(ViewModel, ARemovedCablePhoneStaysHiddenWhileListedAndReturnsAfterAGap) {
    adb.setListing("A device model:Alpha\nB device model:Beta\n");
    adb.setStorage("A", 1000, 600);
    adb.setStorage("B", 1000, 600);
    runTask(model.refresh());
    model.setCustomName("A", "Mine");
    adb.clearCalls();

    runTask(model.remove("A"));
    EXPECT_EQ(adb.calls(), QStringList()); // no disconnect for a cable phone
    EXPECT_EQ(model.removedSerials(), QSet<QString>({"A"}));
    ASSERT_EQ(model.devices().size(), 1);
    EXPECT_EQ(model.devices()[0].serial, "B");
    EXPECT_FALSE(model.storageBySerial().contains("A"));
    EXPECT_FALSE(model.customNames().contains("A"));

    runTask(model.poll());
    runTask(model.refresh());
    EXPECT_EQ(model.devices().size(), 1);
    EXPECT_EQ(model.removedSerials(), QSet<QString>({"A"}));

    adb.setListing("B device model:Beta\n"); // unplugged
    runTask(model.poll());
    EXPECT_TRUE(model.removedSerials().isEmpty());

    adb.setListing("A device model:Alpha\nB device model:Beta\n"); // plugged in again
    runTask(model.poll());
    ASSERT_EQ(model.devices().size(), 2);
    EXPECT_EQ(model.devices()[0].serial, "A");
    EXPECT_TRUE(model.storageBySerial().contains("A")); // read afresh
}

TEST_F(ViewModel, ApplyRemovalsPrunesAndFiltersInListOrder) {
    adb.setListing("A device\nB device\nC device\n");
    runTask(model.refresh());
    runTask(model.remove("A"));
    runTask(model.remove("C"));
    SignalLog log(model);
    const QList<AndroidDevice> listed{{"C", "", State::device}, {"B", "", State::device}, {"D", "", State::offline}};
    const QList<AndroidDevice> shown = model.applyRemovals(listed);
    ASSERT_EQ(shown.size(), 2);
    EXPECT_EQ(shown[0].serial, "B");
    EXPECT_EQ(shown[1].serial, "D");
    EXPECT_EQ(model.removedSerials(), QSet<QString>({"C"}));
    EXPECT_EQ(log["removedSerials"], 1);
    model.applyRemovals(listed);
    EXPECT_EQ(log["removedSerials"], 1); // nothing left to prune
}

TEST_F(ViewModel, WifiSwitchTakesTheNewListingAsReadAndSaysWhereItConnected) {
    adb.setListing("A device model:Alpha\nB device model:Beta\n");
    adb.setWifiAddress("A", "192.168.1.42");
    adb.setConnectLine("192.168.1.42:5555", "192.168.1.42:5555 device model:Alpha");
    runTask(model.refresh());
    runTask(model.remove("B")); // hidden, but the listing after the switch is taken as read
    bool busyWhileSwitching = false;
    QObject::connect(&model, &AppViewModel::statusMessageChanged, [&] {
        if (model.statusMessage() == QString("Connecting over Wi-Fi\u2026")) busyWhileSwitching = model.isBusy();
    });

    runTask(model.connectWireless("A"));
    EXPECT_TRUE(busyWhileSwitching);
    EXPECT_EQ(model.statusMessage(), QString("Connected wirelessly at 192.168.1.42:5555 \u2014 you can unplug the USB cable."));
    EXPECT_FALSE(model.errorMessage());
    EXPECT_FALSE(model.isBusy());
    QStringList serials;
    for (const AndroidDevice &device : model.devices()) serials << device.serial;
    EXPECT_EQ(serials, QStringList({"A", "B", "192.168.1.42:5555"}));
    EXPECT_EQ(model.removedSerials(), QSet<QString>({"B"}));
    EXPECT_EQ(adb.countCalls("-s|192.168.1.42:5555|shell|df"), 0); // read at the next changing scan

    // The next poll re-applies the removal and reads the new serial's figures.
    adb.setStorage("192.168.1.42:5555", 1000, 600);
    runTask(model.poll());
    EXPECT_EQ(model.devices().size(), 2);
    EXPECT_TRUE(model.storageBySerial().contains("192.168.1.42:5555"));
}

TEST_F(ViewModel, WifiSwitchWithoutAnAddressEndsWithTheWifiError) {
    adb.setListing("A device model:Alpha\n");
    runTask(model.refresh());
    runTask(model.connectWireless("A"));
    EXPECT_EQ(model.errorMessage(), QString("adb wifi failed:\nCouldn't find the phone's Wi-Fi IP. Make sure Wi-Fi "
                                            "is on and the phone is on the same network."));
    EXPECT_FALSE(model.statusMessage());
    EXPECT_FALSE(model.isBusy());
    EXPECT_EQ(adb.countCalls("-s|A|tcpip"), 0);

    // A failing listing after a good switch is dropped; the success text stays.
    adb.setWifiAddress("A", "192.168.1.42");
    adb.failListing("error: boom\n");
    runTask(model.connectWireless("A"));
    EXPECT_FALSE(model.errorMessage());
    EXPECT_EQ(model.devices().size(), 1);
    EXPECT_TRUE(model.statusMessage()->startsWith("Connected wirelessly at 192.168.1.42:5555"));
}

TEST_F(ViewModel, FiguresArrivingAfterTheirPhoneWasRemovedAreDropped) {
    adb.setListing("A device model:Alpha\n");
    adb.setStorage("A", 1000, 600);
    adb.setStorageDelay(0.3);
    auto scan = model.refresh();
    ASSERT_TRUE(testsupport::waitUntil([&] { return adb.countCalls("-s|A|shell|df") == 1; }));
    runTask(model.remove("A"));
    runTask(std::move(scan));
    EXPECT_TRUE(model.devices().isEmpty());
    EXPECT_FALSE(model.storageBySerial().contains("A"));
    EXPECT_FALSE(model.isBusy());
}

TEST(ViewModelLifetime, OperationsStartedAndLeftRunningOutliveTheirModel) {
    ListingAdb adb;
    adb.setListing("A device model:Alpha\n10.0.0.5:5555 device\n");
    adb.setStorage("A", 1000, 600);
    adb.setWifiAddress("A", "10.0.0.7");
    adb.setListingDelay(0.2);
    auto model = std::make_unique<AppViewModel>(std::make_shared<AdbService>(adb.folder(), QStringList{}));
    QPointer<AppViewModel> watch(model.get());
    // Fire and forget, as a button would: nobody awaits these.
    (void)model->refresh();
    (void)model->poll();
    (void)model->remove("10.0.0.5:5555");
    (void)model->connectWireless("A");
    ASSERT_TRUE(testsupport::waitUntil([&] { return adb.countCalls("devices") >= 2; }));
    model.reset();
    EXPECT_TRUE(watch.isNull());
    // Let every child finish and every coroutine resume into a dead model.
    testsupport::waitUntil([] { return false; }, std::chrono::milliseconds(800));
    EXPECT_GE(adb.countCalls("devices"), 2);
}

} // namespace
