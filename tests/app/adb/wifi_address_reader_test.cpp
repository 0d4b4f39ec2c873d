#include "app/adb/wifi_address_reader.h"

#include <gtest/gtest.h>

namespace {

TEST(WifiAddress, ReadsTheAddressOfARealReport) {
    const QString report = "30: wlan0: <BROADCAST,MULTICAST,UP,LOWER_UP> mtu 1500 qdisc mq state UP group default qlen 3000\n"
                           "    inet 192.168.1.42/24 brd 192.168.1.255 scope global wlan0\n"
                           "       valid_lft forever preferred_lft forever\n";
    EXPECT_EQ(parseWifiAddress(report), QString("192.168.1.42"));
    EXPECT_EQ(parseWifiAddress("    inet 127.0.0.2/8 scope host wlan0\r\n"), QString("127.0.0.2"));
}

TEST(WifiAddress, NoInetTokenMeansNoAddress) {
    EXPECT_FALSE(parseWifiAddress(""));
    EXPECT_FALSE(parseWifiAddress("\n\n"));
    EXPECT_FALSE(parseWifiAddress("30: wlan0: <BROADCAST,MULTICAST> mtu 1500 state DOWN\n"));
    EXPECT_FALSE(parseWifiAddress("Device \"wlan0\" does not exist.\n"));
    // Only an exact "inet" counts, not inet6 or a tab-joined token.
    EXPECT_FALSE(parseWifiAddress("    inet6 fe80::1/64 scope link\n"));
    EXPECT_FALSE(parseWifiAddress("    INET 10.0.0.1/8\n"));
    EXPECT_FALSE(parseWifiAddress("\tinet\t10.0.0.1/8\n"));
    EXPECT_FALSE(parseWifiAddress("    inet\n"));
}

TEST(WifiAddress, AnInetAtTheEndOfALineDefersToALaterLine) {
    EXPECT_EQ(parseWifiAddress("    inet\n    inet 10.1.2.3/16 brd x\n"), QString("10.1.2.3"));
    EXPECT_EQ(parseWifiAddress("inet6 ::1/128\nfoo inet 10.0.0.9/8\ninet 10.0.0.10/8\n"), QString("10.0.0.9"));
    EXPECT_EQ(parseWifiAddress("a inet b inet c\n"), QString("b"));
}

TEST(WifiAddress, SlashSplittingDropsEmptyPieces) {
    EXPECT_EQ(parseWifiAddress("inet 10.0.0.5\n"), QString("10.0.0.5"));
    EXPECT_EQ(parseWifiAddress("inet /24\n"), QString("24"));
    EXPECT_EQ(parseWifiAddress("inet //10.0.0.5//24\n"), QString("10.0.0.5"));
    EXPECT_EQ(parseWifiAddress("inet garbage/24\n"), QString("garbage"));
    // A field of only slashes ends the search; later lines are not read.
    EXPECT_FALSE(parseWifiAddress("inet ///\ninet 10.0.0.5/24\n"));
}

} // namespace
