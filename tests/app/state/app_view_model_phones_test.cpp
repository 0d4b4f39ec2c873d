#include "app/adb/adb_locator.h"
#include "app/state/app_view_model.h"
#include "tests/app/state/signal_log.h"
#include "tests/support/adb_server.h"
#include "tests/support/phone_sim.h"
#include "tests/support/run_task.h"
#include "tests/support/temp_folder.h"

#include <QFile>
#include <QSet>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <vector>

namespace {

using testsupport::Attach;
using testsupport::PhoneSim;
using testsupport::PhoneSimOptions;
using testsupport::runTask;
using testsupport::SignalLog;
using testsupport::TempFolder;
using State = AndroidDevice::State;

constexpr qint64 KiB = 1024;

// The real tool behind a recorder, so tests see which commands ran.
void writeRecordingAdb(const QString &path) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\n"
               "( IFS='|'; printf '%s\\n' \"$*\" ) >> \"$(dirname \"$0\")/calls.log\"\n"
               "exec /usr/bin/adb \"$@\"\n");
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

std::optional<AndroidDevice> findShown(const AppViewModel &model, const QString &serial) {
    for (const AndroidDevice &device : model.devices()) {
        if (device.serial == serial) return device;
    }
    return std::nullopt;
}

struct WirelessSerialCleanup {
    QString serial;
    ~WirelessSerialCleanup() {
        testsupport::runAdb({"disconnect", serial});
        testsupport::waitForListedState(serial, "");
    }
};

class ViewModelWithPhones : public ::testing::Test {
protected:
    void SetUp() override {
        testsupport::startAdbServer();
        writeRecordingAdb(tools.file("adb"));
        model = std::make_unique<AppViewModel>(std::make_shared<AdbService>(tools.path(), defaultAdbCandidates()));
    }

    std::unique_ptr<PhoneSim> startPhone(Attach attach, const QString &model, const QString &df,
                                         const QString &wifiAddress = {}) {
        folders.push_back(std::make_unique<TempFolder>());
        PhoneSimOptions options;
        options.folder = folders.back()->path();
        options.model = model;
        options.df = df;
        options.wifiAddress = wifiAddress;
        options.attach = attach;
        return std::make_unique<PhoneSim>(options);
    }

    // Polls through the model until `condition` holds.
    template <typename Condition> bool pollUntil(Condition condition) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (!condition()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            runTask(model->poll());
        }
        return true;
    }

    int countCalls(const QString &prefix) const {
        QFile log(tools.file("calls.log"));
        if (!log.open(QIODevice::ReadOnly)) return 0;
        int count = 0;
        for (const QString &call : QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts)) {
            count += call.startsWith(prefix) ? 1 : 0;
        }
        return count;
    }

    TempFolder tools;
    std::vector<std::unique_ptr<TempFolder>> folders;
    std::unique_ptr<AppViewModel> model;
};

TEST_F(ViewModelWithPhones, ScansListPhonesWithFiguresAndAQuietPollAddsANewOneOnce) {
    const auto cable = startPhone(Attach::Cable, "Cable_Phone", "1000,400,600");
    const auto wifi = startPhone(Attach::Wifi, "Wifi_Phone", "8000,1000,7000");

    runTask(model->refresh());
    EXPECT_EQ(findShown(*model, cable->serial()), (AndroidDevice{cable->serial(), "Cable_Phone", State::device}));
    EXPECT_EQ(findShown(*model, wifi->serial()), (AndroidDevice{wifi->serial(), "Wifi_Phone", State::device}));
    EXPECT_EQ(model->storageBySerial().value(cable->serial()), (StoragePair{600 * KiB, 1000 * KiB}));
    EXPECT_EQ(model->storageBySerial().value(wifi->serial()), (StoragePair{7000 * KiB, 8000 * KiB}));
    EXPECT_EQ(model->displayName(*findShown(*model, cable->serial())), "Cable Phone");
    EXPECT_FALSE(model->isBusy());
    EXPECT_FALSE(model->errorMessage());

    // Nothing changed: the poll writes nothing and reads no figures.
    SignalLog log(*model);
    const int storageQueries = countCalls("-s|");
    runTask(model->poll());
    EXPECT_EQ(log.total(), 0);
    EXPECT_EQ(countCalls("-s|"), storageQueries);

    const auto third = startPhone(Attach::Cable, "Third_Phone", "3000,1000,2000");
    runTask(model->poll());
    ASSERT_TRUE(findShown(*model, third->serial()));
    EXPECT_EQ(model->storageBySerial().value(third->serial()), (StoragePair{2000 * KiB, 3000 * KiB}));
    EXPECT_EQ(countCalls("-s|" + third->serial() + "|shell|df"), 1);
    runTask(model->poll());
    runTask(model->refresh());
    EXPECT_EQ(countCalls("-s|" + third->serial() + "|shell|df"), 1);
}

TEST_F(ViewModelWithPhones, RemovedCablePhoneIsHiddenUntilItWasGoneAndWirelessOneIsDisconnected) {
    auto cable = startPhone(Attach::Cable, "Cable_Phone", "1000,400,600");
    const auto wifi = startPhone(Attach::Wifi, "Wifi_Phone", "8000,1000,7000");
    const QString cableSerial = cable->serial();
    runTask(model->refresh());

    runTask(model->remove(cableSerial));
    EXPECT_FALSE(findShown(*model, cableSerial));
    EXPECT_EQ(countCalls("disconnect"), 0);
    runTask(model->poll());
    runTask(model->refresh());
    EXPECT_FALSE(findShown(*model, cableSerial));
    EXPECT_TRUE(model->removedSerials().contains(cableSerial));

    runTask(model->remove(wifi->serial()));
    EXPECT_EQ(countCalls("disconnect|" + wifi->serial()), 1);
    EXPECT_FALSE(model->removedSerials().contains(wifi->serial()));
    EXPECT_FALSE(findShown(*model, wifi->serial()));
    EXPECT_TRUE(testsupport::waitForListedState(wifi->serial(), ""));
    runTask(model->poll());
    EXPECT_FALSE(findShown(*model, wifi->serial()));

    // Unplug the cable phone, let one listing miss it, then plug it in again.
    cable.reset();
    ASSERT_TRUE(pollUntil([&] { return model->removedSerials().isEmpty(); }));
    cable = startPhone(Attach::Cable, "Cable_Phone", "1000,400,600");
    ASSERT_TRUE(pollUntil([&] { return findShown(*model, cable->serial()).has_value(); }));
    EXPECT_TRUE(model->storageBySerial().contains(cable->serial()));
    if (cable->serial() != cableSerial) GTEST_SKIP() << "the phone came back under another serial";
}

TEST_F(ViewModelWithPhones, WifiSwitchEndsWithBothSerialsListed) {
    const auto cable = startPhone(Attach::Cable, "Cable_Phone", "1000,400,600", "127.0.0.2");
    WirelessSerialCleanup cleanup{"127.0.0.2:5555"};
    runTask(model->refresh());

    runTask(model->connectWireless(cable->serial()));
    EXPECT_EQ(model->statusMessage(),
              QString("Connected wirelessly at 127.0.0.2:5555 \u2014 you can unplug the USB cable."));
    EXPECT_FALSE(model->errorMessage());
    EXPECT_FALSE(model->isBusy());
    EXPECT_TRUE(findShown(*model, cable->serial()));
    EXPECT_TRUE(findShown(*model, "127.0.0.2:5555"));
    // Its figures wait for the next scan that changes the list.
    EXPECT_FALSE(model->storageBySerial().contains("127.0.0.2:5555"));
    ASSERT_TRUE(pollUntil([&] {
        const auto wireless = findShown(*model, "127.0.0.2:5555");
        return wireless && wireless->state == State::device;
    }));
}

TEST_F(ViewModelWithPhones, WifiSwitchWithWifiOffEndsWithTheWifiError) {
    const auto cable = startPhone(Attach::Cable, "Cable_Phone", "1000,400,600");
    runTask(model->refresh());
    runTask(model->connectWireless(cable->serial()));
    EXPECT_EQ(model->errorMessage(), QString("adb wifi failed:\nCouldn't find the phone's Wi-Fi IP. Make sure Wi-Fi "
                                             "is on and the phone is on the same network."));
    EXPECT_FALSE(model->statusMessage());
    EXPECT_FALSE(model->isBusy());
    EXPECT_EQ(countCalls("-s|" + cable->serial() + "|tcpip"), 0);
}

TEST_F(ViewModelWithPhones, PollingHardDuringAWifiSwitchAndARemovalEndsConsistent) {
    const auto switching = startPhone(Attach::Cable, "Switching_Phone", "1000,400,600", "127.0.0.3");
    const auto removed = startPhone(Attach::Cable, "Removed_Phone", "2000,400,1600");
    const auto wifi = startPhone(Attach::Wifi, "Wifi_Phone", "3000,400,2600");
    WirelessSerialCleanup cleanup{"127.0.0.3:5555"};
    runTask(model->refresh());

    // Keep a few polls in flight at all times, each started every few ms.
    int pollsStarted = 0;
    QTimer poller;
    poller.setInterval(5);
    QObject::connect(&poller, &QTimer::timeout, [&] {
        ++pollsStarted;
        (void)model->poll();
    });
    poller.start();

    auto sw = model->connectWireless(switching->serial());
    auto rm = model->remove(removed->serial());
    auto rmWifi = model->remove(wifi->serial());
    runTask(std::move(rm));
    runTask(std::move(rmWifi));
    runTask(std::move(sw));
    testsupport::waitUntil([] { return false; }, std::chrono::seconds(2));
    poller.stop();
    EXPECT_GT(pollsStarted, 100);

    // Let the polls still in flight land, then take one last look.
    testsupport::waitUntil([] { return false; }, std::chrono::seconds(1));
    runTask(model->poll());

    QSet<QString> serials;
    for (const AndroidDevice &device : model->devices()) {
        EXPECT_FALSE(serials.contains(device.serial)) << "listed twice: " << device.serial.toStdString();
        serials.insert(device.serial);
    }
    EXPECT_FALSE(model->isBusy());
    EXPECT_EQ(model->statusMessage(),
              QString("Connected wirelessly at 127.0.0.3:5555 \u2014 you can unplug the USB cable."));
    EXPECT_TRUE(serials.contains(switching->serial()));
    EXPECT_TRUE(serials.contains("127.0.0.3:5555"));
    EXPECT_FALSE(serials.contains(removed->serial()));
    EXPECT_FALSE(serials.contains(wifi->serial()));
    EXPECT_TRUE(model->removedSerials().contains(removed->serial()));
}

} // namespace
