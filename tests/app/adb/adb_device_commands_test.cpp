#include "app/adb/adb_error.h"
#include "app/adb/adb_locator.h"
#include "app/adb/adb_service.h"
#include "tests/support/adb_server.h"
#include "tests/support/phone_sim.h"
#include "tests/support/run_task.h"
#include "tests/support/temp_folder.h"

#include <QFile>
#include <QThread>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>

namespace {

using testsupport::Attach;
using testsupport::PhoneSim;
using testsupport::PhoneSimOptions;
using testsupport::runTask;
using testsupport::TempFolder;
using State = AndroidDevice::State;

// The real tool behind a recorder, so tests can see which commands were sent.
QString writeRecordingAdb(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return {};
    file.write("#!/bin/sh\n"
               "( IFS='|'; printf '%s\\n' \"$*\" ) >> \"$(dirname \"$0\")/calls.log\"\n"
               "exec /usr/bin/adb \"$@\"\n");
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

std::optional<AndroidDevice> findListed(const QList<AndroidDevice> &devices, const QString &serial) {
    for (const AndroidDevice &device : devices) {
        if (device.serial == serial) return device;
    }
    return std::nullopt;
}

// Drops a Wi-Fi serial the test made, whatever happens in between.
struct WirelessSerialCleanup {
    QString serial;
    ~WirelessSerialCleanup() {
        if (serial.isEmpty()) return;
        testsupport::runAdb({"disconnect", serial});
        testsupport::waitForListedState(serial, "");
    }
};

class DeviceCommands : public ::testing::Test {
protected:
    void SetUp() override {
        testsupport::startAdbServer();
        writeRecordingAdb(tools.file("adb"));
        service = std::make_unique<AdbService>(tools.path(), defaultAdbCandidates());
    }

    std::unique_ptr<PhoneSim> startPhone(Attach attach, const QString &model, const QString &wifiAddress,
                                         const QString &df) {
        auto folder = std::make_unique<TempFolder>();
        PhoneSimOptions options;
        options.folder = folder->path();
        options.model = model;
        options.wifiAddress = wifiAddress;
        options.df = df;
        options.attach = attach;
        auto phone = std::make_unique<PhoneSim>(options);
        folders.push_back(std::move(folder));
        return phone;
    }

    // Lists through the service until `serial` shows `state` (or disappears,
    // for an empty state): a fresh network connection may briefly be offline.
    bool waitForListing(const QString &serial, std::optional<State> state) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (std::chrono::steady_clock::now() < deadline) {
            const auto listed = findListed(runTask(service->devices()), serial);
            if (!state ? !listed : listed && listed->state == *state) return true;
            QThread::msleep(100);
        }
        return false;
    }

    QStringList calls() const {
        QFile log(tools.file("calls.log"));
        if (!log.open(QIODevice::ReadOnly)) return {};
        return QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts);
    }

    TempFolder tools;
    std::vector<std::unique_ptr<TempFolder>> folders;
    std::unique_ptr<AdbService> service;
};

TEST_F(DeviceCommands, ListsCableAndWifiPhonesWithModelsAndReadsTheirStorage) {
    const auto cable = startPhone(Attach::Cable, "Cable_Phone", {}, "1000,400,600");
    const auto wifi = startPhone(Attach::Wifi, "Wifi_Phone", {}, "2000000,1500000,500000");
    ASSERT_TRUE(cable->serial().startsWith("emulator-"));
    ASSERT_TRUE(wifi->serial().startsWith("127.0.0.1:"));

    const QList<AndroidDevice> devices = runTask(service->devices());
    const auto listedCable = findListed(devices, cable->serial());
    const auto listedWifi = findListed(devices, wifi->serial());
    ASSERT_TRUE(listedCable);
    ASSERT_TRUE(listedWifi);
    EXPECT_EQ(*listedCable, (AndroidDevice{cable->serial(), "Cable_Phone", State::device}));
    EXPECT_EQ(*listedWifi, (AndroidDevice{wifi->serial(), "Wifi_Phone", State::device}));
    EXPECT_FALSE(listedCable->isWireless());
    EXPECT_TRUE(listedWifi->isWireless());

    EXPECT_EQ(runTask(service->storage(cable->serial())), (StoragePair{600 * 1024, 1000 * 1024}));
    EXPECT_EQ(runTask(service->storage(wifi->serial())), (StoragePair{500000LL * 1024, 2000000LL * 1024}));
}

TEST_F(DeviceCommands, EnableWirelessSwitchesACablePhoneAndDisconnectDropsIt) {
    const auto cable = startPhone(Attach::Cable, "Cable_Phone", "127.0.0.2", "1000,400,600");
    WirelessSerialCleanup cleanup{"127.0.0.2:5555"};

    EXPECT_EQ(runTask(service->enableWireless(cable->serial())), "127.0.0.2:5555");
    EXPECT_EQ(calls(), QStringList({"-s|" + cable->serial() + "|shell|ip|-f|inet|addr|show|wlan0",
                                    "-s|" + cable->serial() + "|tcpip|5555", "connect|127.0.0.2:5555"}));

    const QList<AndroidDevice> devices = runTask(service->devices());
    EXPECT_TRUE(findListed(devices, "127.0.0.2:5555"));
    EXPECT_TRUE(findListed(devices, cable->serial()));
    ASSERT_TRUE(waitForListing("127.0.0.2:5555", State::device));
    EXPECT_EQ(findListed(runTask(service->devices()), "127.0.0.2:5555")->model, "Cable_Phone");
    EXPECT_EQ(runTask(service->storage("127.0.0.2:5555")), (StoragePair{600 * 1024, 1000 * 1024}));

    runTask(service->disconnect("127.0.0.2:5555"));
    EXPECT_TRUE(waitForListing("127.0.0.2:5555", std::nullopt));
    EXPECT_TRUE(findListed(runTask(service->devices()), cable->serial()));
}

} // namespace
