// The test helper that others build on: a cable and a Wi-Fi phone through the
// real adb server, and a clean stop.
#include "tests/support/adb_server.h"
#include "tests/support/phone_sim.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <iostream>

using namespace testsupport;

namespace {

QString devicesLine(const QString &serial) {
    const auto result = runAdb({"devices", "-l"});
    for (const QString &line : result.output.split('\n'))
        if (line.startsWith(serial + ' ')) return line;
    return {};
}

PhoneSimOptions simOptions(const QString &folder, Attach attach, const QString &model = "Sim_Phone", const QString &df = {}) {
    PhoneSimOptions options;
    options.folder = folder;
    options.attach = attach;
    options.model = model;
    options.df = df;
    return options;
}

bool alive(qint64 pid) { return pid > 0 && ::kill(pid_t(pid), 0) == 0; }

} // namespace

TEST(PhoneSimHelper, CableAndWifiPhonesAreListedWithTheirModelsAndGoAwayOnStop) {
    TempFolder cableFolder, wifiFolder;
    QString cableSerial, wifiSerial;
    qint64 cablePid = 0, wifiPid = 0;
    {
        PhoneSim cable(simOptions(cableFolder.path(), Attach::Cable, "Cable Phone"));
        PhoneSim wifi(simOptions(wifiFolder.path(), Attach::Wifi, "Wifi_Phone"));
        cableSerial = cable.serial();
        wifiSerial = wifi.serial();
        cablePid = cable.pid();
        wifiPid = wifi.pid();
        EXPECT_TRUE(cableSerial.startsWith("emulator-")) << cableSerial.toStdString();
        EXPECT_EQ(cableSerial, "emulator-" + QString::number(cable.port() - 1));
        EXPECT_EQ(cable.port() % 2, 1);
        EXPECT_GE(cable.port(), 5555);
        EXPECT_LE(cable.port(), 5585);
        EXPECT_EQ(wifiSerial, "127.0.0.1:" + QString::number(wifi.port()));
        EXPECT_EQ(cable.folder(), cableFolder.path());

        EXPECT_EQ(listedState(cableSerial), "device");
        EXPECT_EQ(listedState(wifiSerial), "device");
        EXPECT_TRUE(devicesLine(cableSerial).contains(" model:Cable_Phone ")) << devicesLine(cableSerial).toStdString();
        EXPECT_TRUE(devicesLine(wifiSerial).contains(" model:Wifi_Phone ")) << devicesLine(wifiSerial).toStdString();
        EXPECT_TRUE(alive(cablePid));
        wifi.stop();
        EXPECT_EQ(wifi.pid(), -1);
        EXPECT_EQ(listedState(wifiSerial), "");
        EXPECT_EQ(listedState(cableSerial), "device");
    }
    EXPECT_EQ(listedState(cableSerial), "");
    EXPECT_EQ(listedState(wifiSerial), "");
    EXPECT_FALSE(alive(cablePid));
    EXPECT_FALSE(alive(wifiPid));
}

TEST(PhoneSimHelper, AMissingFolderThrowsWithTheProgramsMessage) {
    try {
        PhoneSim sim(simOptions("", Attach::Cable));
        FAIL() << "no exception";
    } catch (const std::runtime_error &error) {
        EXPECT_NE(std::string(error.what()).find("folder"), std::string::npos) << error.what();
    }
}

TEST(PhoneSimHelper, ABadOptionMakesTheConstructorThrowAClearMessage) {
    TempFolder folder;
    try {
        PhoneSim sim(simOptions(folder.path(), Attach::Cable, "Sim_Phone", "1,2"));
        FAIL() << "no exception";
    } catch (const std::runtime_error &error) {
        EXPECT_NE(std::string(error.what()).find("--df"), std::string::npos) << error.what();
    }
}

TEST(PhoneSimHelper, SeveralCablePhonesGetTheirOwnPorts) {
    TempFolder a, b, c;
    PhoneSim one(simOptions(a.path(), Attach::Cable));
    PhoneSim two(simOptions(b.path(), Attach::Cable));
    PhoneSim three(simOptions(c.path(), Attach::Cable));
    EXPECT_NE(one.port(), two.port());
    EXPECT_NE(two.port(), three.port());
    EXPECT_NE(one.port(), three.port());
    EXPECT_EQ(listedState(one.serial()), "device");
    EXPECT_EQ(listedState(two.serial()), "device");
    EXPECT_EQ(listedState(three.serial()), "device");
}

TEST(PhoneSimHelper, StartsAndStopsQuickly) {
    TempFolder folder;
    const auto start = std::chrono::steady_clock::now();
    constexpr int rounds = 4;
    for (int i = 0; i < rounds; ++i) {
        PhoneSim cable(simOptions(folder.path(), i % 2 ? Attach::Wifi : Attach::Cable));
        EXPECT_EQ(listedState(cable.serial()), "device");
    }
    const auto each = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start) / rounds;
    std::cout << "a phone takes " << each.count() << " ms to start, attach, stop and detach\n";
    EXPECT_LT(each, std::chrono::seconds(3));
}
