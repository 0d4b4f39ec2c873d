#include "app/state/app_view_model.h"
#include "tests/app/state/listing_adb.h"
#include "tests/app/state/signal_log.h"
#include "tests/support/run_task.h"

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

} // namespace
