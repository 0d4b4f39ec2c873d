#include "app/adb/pairing_input.h"
#include "app/adb/pairing_report_reader.h"
#include "tests/app/state/listing_adb.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

TEST(PairingInput, ACodeIsSixDigitsWithOnlyBlanksAroundThem) {
    EXPECT_EQ(checkPairingCode("\t000000\n").value, "000000");
    EXPECT_TRUE(checkPairingCode(" 123456 ").ok());
    for (const QString typed : {"", "  ", "12345", "1234567", "123 456", "12345a", "12:456", "123456:x", "-12345",
                                "\u0661\u0662\u0663\u0664\u0665\u0666", "123456; rm -rf ~", "$(id)"})
        EXPECT_FALSE(checkPairingCode(typed).ok()) << typed.toStdString();
    EXPECT_EQ(checkPairingCode("").problem, "Type the six-digit code the phone shows.");
    EXPECT_EQ(checkPairingCode("12 34 56").problem, "The code is six digits, like 123456.");
}

TEST(PairingInput, AnAddressIsAnIpv4AddressOrHostNameAndAPort) {
    for (const QString typed : {" 10.0.0.1:1 ", "127.0.0.1:65535", "phone.local:5555", "my-phone:0080"})
        EXPECT_TRUE(checkPhoneAddress(typed).ok()) << typed.toStdString();
    EXPECT_EQ(checkPhoneAddress(" 10.0.0.1:1 ").value, "10.0.0.1:1");
    for (const QString typed : {"", "192.168.1.20", "192.168.1.20:", ":5555", "192.168.1.256:5555", "192.168.01.2:5555",
                                "1.2.3:5555", "-s:5555", "host-:5555", "a..b:5555", "a b:5555", "[fe80::1]:5555",
                                "1.2.3.4:+555", "1.2.3.4:5555;reboot", "$(id):5555", "h\u00e9te:5555"})
        EXPECT_EQ(checkPhoneAddress(typed).problem, "Type the address as the phone shows it, like 192.168.1.20:37251.")
            << typed.toStdString();
    for (const QString typed : {"1.2.3.4:0", "1.2.3.4:65536", "1.2.3.4:999999"})
        EXPECT_EQ(checkPhoneAddress(typed).problem, "The port after \u201C:\u201D is a number from 1 to 65535.");
    EXPECT_EQ(addressHost(" 10.0.0.7:41 ") + "|" + addressPort(" 10.0.0.7:41 "), "10.0.0.7|41");
    EXPECT_EQ(addressHost("10.0.0") + "|" + addressPort("10.0.0"), "10.0.0|");
}

TEST(PairingReports, PairAnswersOfRealAdbReleases) {
    const std::tuple<bool, QString, PairOutcome> cases[] = {
        {true, "Successfully paired to 192.168.1.20:37251 [guid=adb-R58M12345-AbCdEf]\n", PairOutcome::paired},
        {false, "Successfully paired to 10.0.0.2:4 [guid=x]\n", PairOutcome::refused},
        {true, "Failed: Wrong password or connection was dropped.\n", PairOutcome::wrongCode},
        {true, "Failed: Unable to start pairing client.\n", PairOutcome::unreachable},
        {false, "adb: unknown command pair\n", PairOutcome::tooOld},
        {true, "Failed: Successfully paired but server returned unknown response=\x02\n", PairOutcome::refused},
        {false, "error: protocol fault (couldn't read status message): Success\n", PairOutcome::wrongCodeOrUnreachable},
        {false, "adb: error: protocol fault (couldn't read status length): Connection reset by peer\n", PairOutcome::refused},
    };
    for (const auto &[exitedCleanly, text, outcome] : cases)
        EXPECT_EQ(readPairReport(exitedCleanly, text), outcome) << text.toStdString();
}

TEST(PairingReports, ConnectAnswersAndAdbVersions) {
    EXPECT_TRUE(readConnectReport("already connected to 192.168.1.20:41234\n"));
    EXPECT_FALSE(readConnectReport("failed to authenticate to 192.168.1.20:41234\n"));
    EXPECT_EQ(readAdbRelease(testsupport::adbVersion29), 29);
    EXPECT_EQ(readAdbRelease(testsupport::adbVersion34), 34);
    EXPECT_FALSE(readAdbRelease("Android Debug Bridge version 1.0.41\n"));
    EXPECT_FALSE(readAdbRelease("Version x.0\nVersion -3.1\nVersion +3\nVersion\n"));
}

} // namespace
