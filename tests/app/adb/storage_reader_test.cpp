#include "app/adb/storage_reader.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

constexpr qint64 KiB = 1024;

TEST(Storage, ReadsARealReport) {
    const QString report = "Filesystem     1K-blocks    Used Available Use% Mounted on\n"
                           "/dev/fuse      115326276 8042528 107152676   7% /storage/emulated\n";
    EXPECT_EQ(parseStorage(report), (StoragePair{107152676 * KiB, 115326276 * KiB}));
    EXPECT_EQ(parseStorage("Filesystem 1K-blocks Used Available Use% Mounted on\nfs 1000 400 600 40% /sdcard\n"),
              (StoragePair{600 * KiB, 1000 * KiB}));
    EXPECT_EQ(parseStorage("fs 1000 400 600 40% /sdcard\r\n"), (StoragePair{600 * KiB, 1000 * KiB}));
}

TEST(Storage, NothingReadableGivesNone) {
    EXPECT_FALSE(parseStorage(""));
    EXPECT_FALSE(parseStorage("\n\n"));
    EXPECT_FALSE(parseStorage("Filesystem 1K-blocks Used Available Use% Mounted on\n"));
    EXPECT_FALSE(parseStorage("df: /sdcard: No such file or directory\n"));
    // Human-readable units are no block counts.
    EXPECT_FALSE(parseStorage("Filesystem Size Used Avail Use% Mounted on\nfs 110G 7.7G 102G 7% /sdcard\n"));
    // Tab-separated columns are one token.
    EXPECT_FALSE(parseStorage("fs\t1000\t400\t600\t40%\t/sdcard\n"));
    EXPECT_FALSE(parseStorage("fs 1000 400\n"));
}

TEST(Storage, AWrappedDataLineIsUnreadable) {
    const QString wrapped = "Filesystem 1K-blocks Used Available Use% Mounted on\n"
                            "/dev/block/very-long-device-name\n"
                            "               1000    400       600  40% /sdcard\n";
    EXPECT_FALSE(parseStorage(wrapped));
}

TEST(Storage, LinesAreTriedFromTheLastUp) {
    EXPECT_EQ(parseStorage("a 1 x 2\nb 10 x 20\nc 100 x 200\n"), (StoragePair{200 * KiB, 100 * KiB}));
    // An unreadable last line falls back to the one above it.
    EXPECT_EQ(parseStorage("a 1 x 2\nb 10 x 20\nc 100 x 2G\nd 1 2\n"), (StoragePair{20 * KiB, 10 * KiB}));
    EXPECT_EQ(parseStorage("a 1 x 2\nb 10G x 20\n"), (StoragePair{2 * KiB, 1 * KiB}));
    // Only tokens 2 and 4 must be numbers.
    EXPECT_EQ(parseStorage("fs 5 used? 7 % /x y z\n"), (StoragePair{7 * KiB, 5 * KiB}));
}

TEST(Storage, SignsAreReadAndNegativeCountsMultiplied) {
    EXPECT_EQ(parseStorage("fs +1000 0 +600\n"), (StoragePair{600 * KiB, 1000 * KiB}));
    EXPECT_EQ(parseStorage("fs -1000 0 -1\n"), (StoragePair{-1 * KiB, -1000 * KiB}));
    EXPECT_EQ(parseStorage("fs 0 0 0\n"), (StoragePair{0, 0}));
    EXPECT_EQ(parseStorage("fs 000012 0 -0\n"), (StoragePair{0, 12 * KiB}));
    EXPECT_FALSE(parseStorage("fs + 0 1\n"));
    EXPECT_FALSE(parseStorage("fs 1 0 -\n"));
    EXPECT_FALSE(parseStorage("fs +-1 0 1\n"));
    EXPECT_FALSE(parseStorage("fs 1 0 --1\n"));
}

TEST(BlockCount, OnlyPlainDecimalIntegersCount) {
    for (const char *bad : {"", "+", "-", "1.5", "1,000", "12K", "40%", "0x10", " 1", "1 ", "1e3", "١٢"}) {
        EXPECT_FALSE(parseBlockCountAsBytes(QString::fromUtf8(bad))) << bad;
    }
    EXPECT_EQ(parseBlockCountAsBytes("1"), 1024);
    EXPECT_EQ(parseBlockCountAsBytes("-7"), -7 * 1024);
}

TEST(BlockCount, ByteValuesThatOverflowSixtyFourBitsAreRejected) {
    constexpr qint64 max = std::numeric_limits<qint64>::max();
    constexpr qint64 min = std::numeric_limits<qint64>::min();
    // 2^53 - 1 blocks is the largest count whose bytes fit.
    EXPECT_EQ(parseBlockCountAsBytes("9007199254740991"), (max / 1024) * 1024);
    EXPECT_FALSE(parseBlockCountAsBytes("9007199254740992"));
    // -2^53 blocks is exactly the most negative byte count.
    EXPECT_EQ(parseBlockCountAsBytes("-9007199254740992"), min);
    EXPECT_FALSE(parseBlockCountAsBytes("-9007199254740993"));
    // Counts that do not even fit as blocks.
    EXPECT_FALSE(parseBlockCountAsBytes("9223372036854775807"));
    EXPECT_FALSE(parseBlockCountAsBytes("9223372036854775808"));
    EXPECT_FALSE(parseBlockCountAsBytes("99999999999999999999999999999"));
    EXPECT_EQ(parseBlockCountAsBytes("0000000000000000000000000000001"), 1024);
}

TEST(Storage, AnOverflowingLineIsSkippedForThePreviousOne) {
    EXPECT_EQ(parseStorage("fs 10 0 5\nfs 9007199254740992 0 5\n"), (StoragePair{5 * KiB, 10 * KiB}));
    EXPECT_EQ(parseStorage("fs 10 0 5\nfs 5 0 99999999999999999999\n"), (StoragePair{5 * KiB, 10 * KiB}));
    EXPECT_FALSE(parseStorage("fs 9007199254740992 0 5\n"));
}

} // namespace
