// The emulated phone's Wireless debugging against the real adb tool, where it
// is 30 or newer (Debian 13's): pairing with the code the phone shows, then
// adb over TLS to its connect port.
#include "app/adb/pairing_report_reader.h"
#include "tests/support/adb_server.h"
#include "tests/support/phone_sim.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

PhoneSimOptions wirelessPhone(const QString &folder) {
    PhoneSimOptions options;
    options.folder = folder;
    options.attach = Attach::None;
    options.model = "Wireless_Sim";
    options.wirelessDebugging = true;
    return options;
}

std::string otherCode(const QString &code) { return QString::number((code.toInt() + 1) % 1000000).rightJustified(6, '0').toStdString(); }

} // namespace

class WirelessDebuggingAdb : public ::testing::Test {
protected:
    void SetUp() override {
        startAdbServer();
        const int major = adbMajorVersion();
        if (major < 30)
            GTEST_SKIP() << "adb pair needs adb 30 or newer; this adb is version " << major
                         << " (Debian 13's adb, or Debian 12's from its backports, has it)";
    }
    TempFolder folder_;
};

TEST_F(WirelessDebuggingAdb, PairsOnlyWithTheRightCodeThenConnectsOverTlsAndAnUnpairedPhoneRefuses) {
    PhoneSim phone(wirelessPhone(folder_.path()));
    const auto &screen = phone.wirelessDebugging();
    const auto wrong = runAdb({"pair", screen.pairingAddress, QString::fromStdString(otherCode(screen.pairingCode))});
    EXPECT_FALSE(wrong.output.contains("Successfully paired")) << wrong.output.toStdString();
    // What the window then tells the user.
    EXPECT_EQ(readPairReport(wrong.exitCode == 0, wrong.output), PairOutcome::wrongCodeOrUnreachable) << wrong.output.toStdString();
    const auto pairing = runAdb({"pair", screen.pairingAddress, screen.pairingCode});
    ASSERT_TRUE(pairing.output.contains("Successfully paired to " + screen.pairingAddress)) << pairing.output.toStdString();
    const auto connecting = runAdb({"connect", screen.connectAddress});
    EXPECT_TRUE(connecting.output.contains("connected to " + screen.connectAddress)) << connecting.output.toStdString();
    ASSERT_TRUE(waitForListedState(screen.connectAddress, "device"));
    EXPECT_EQ(runAdb({"-s", screen.connectAddress, "shell", "getprop ro.product.model"}).output, "Wireless_Sim\n");

    // Another phone never paired with this computer.
    TempFolder other;
    PhoneSim stranger(wirelessPhone(other.path()));
    const QString address = stranger.wirelessDebugging().connectAddress;
    runAdb({"connect", address});
    EXPECT_FALSE(waitForListedState(address, "device", std::chrono::seconds(5)));
}
