#include "platform/fileprovider/domain/domain_record.h"
#include "platform/fileprovider/domain/host_process.h"
#include "platform/fileprovider/domain/mount_directory_name.h"
#include "platform/fileprovider/domain/mount_table.h"

#include <gtest/gtest.h>

#include <QSet>

namespace {

const QByteArray sampleMountInfo =
    "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
    "45 22 0:40 / /home/ann/Phones/Pixel\\0407 rw,nosuid,nodev,relatime shared:30 master:2 - fuse.VaneFileProvider "
    "vane rw,user_id=0,group_id=0\n"
    "46 22 0:41 / /home/ann/Phones/tab\\011and\\134slash rw - fuse stand-in rw\n"
    "47 22 0:42 / /run/user/0 rw,nosuid - tmpfs tmpfs rw\n"
    "48 22 0:43 / /mnt/fuseblk rw - fuseblk /dev/sdb1 rw\n";

TEST(MountInfoReader, decodesEscapedPathsAndFindsFuseMounts) {
    const QList<MountEntry> mounts = parseMountInfo(sampleMountInfo);
    ASSERT_EQ(mounts.size(), 5);
    EXPECT_EQ(mounts[1].mountPoint, "/home/ann/Phones/Pixel 7");
    EXPECT_EQ(mounts[1].fileSystemType, "fuse.VaneFileProvider");
    EXPECT_EQ(mounts[1].source, "vane");
    EXPECT_EQ(mounts[2].mountPoint, "/home/ann/Phones/tab\tand\\slash");

    EXPECT_TRUE(isFuseMountedAt(mounts, "/home/ann/Phones/Pixel 7"));
    EXPECT_TRUE(isFuseMountedAt(mounts, "/home/ann/Phones/tab\tand\\slash"));
    EXPECT_FALSE(isFuseMountedAt(mounts, "/run/user/0")) << "tmpfs is not FUSE";
    EXPECT_FALSE(isFuseMountedAt(mounts, "/mnt/fuseblk")) << "fuseblk is a block file system";
    EXPECT_TRUE(isMountedAt(mounts, "/run/user/0"));
    EXPECT_FALSE(isMountedAt(mounts, "/home/ann/Phones/Pixel\\0407")) << "only the decoded path matches";
    EXPECT_FALSE(isMountedAt(mounts, "/home/ann/Phones")) << "a parent of a mount point is no mount point";
}

TEST(MountInfoReader, skipsMalformedLinesAndKeepsTheRest) {
    const QByteArray text = "garbage\n"
                            "\n"
                            "30 22 0:1 / /no/separator rw shared:1 ext4 /dev/x rw\n"
                            "31 22 0:1 / /cut/short rw -\n"
                            "32 22 0:1 / relative rw - fuse x rw\n"
                            "33 22 0:1 / /kept rw - fuse x rw\n"
                            "34 22 0:1 / /bad\\09escape rw - fuse x rw\n"
                            "35 22 0:1 / /end\\04 rw - fuse x rw";
    const QList<MountEntry> mounts = parseMountInfo(text);
    ASSERT_EQ(mounts.size(), 3);
    EXPECT_EQ(mounts[0].mountPoint, "/kept");
    EXPECT_EQ(mounts[1].mountPoint, "/bad\\09escape") << "a broken escape stays as written";
    EXPECT_EQ(mounts[2].mountPoint, "/end\\04") << "an escape cut by the end of the line stays as written";
}

TEST(ProcessStatReader, readsStateAndStartTimePastAnAwkwardName) {
    const QByteArray line = "4242 (a) b (c)) S 1 4242 4242 0 -1 4194560 120 0 0 0 1 2 0 0 20 0 1 0 987654 1000 10\n";
    const std::optional<ProcessStat> stat = parseProcessStat(line);
    ASSERT_TRUE(stat);
    EXPECT_EQ(stat->state, 'S');
    EXPECT_EQ(stat->startTime, 987654u);

    EXPECT_FALSE(parseProcessStat("4242 (name S 1 2 3"));
    EXPECT_FALSE(parseProcessStat("4242 (name) S 1 2 3")) << "too few fields";
    EXPECT_FALSE(parseProcessStat("4242 (n) S 1 4242 4242 0 -1 4 1 0 0 0 1 2 0 0 20 0 1 0 x 1000 10"));
}

TEST(DomainRecordFormat, roundTripsAndRejectsIncompleteRecords) {
    DomainRecord record;
    record.identifier = "192-DOT-168-DOT-1-DOT-20-COLON-5555";
    record.displayName = "Pixel 7 \"work\" \xE2\x80\x94 caf\xC3\xA9";
    record.mountPoint = "/home/ann/Phones/Pixel 7";
    record.pid = 123456;
    record.processStart = 9876543210ull;
    EXPECT_EQ(parseDomainRecord(serializeDomainRecord(record)), record);

    const auto parse = [](const char *json) { return parseDomainRecord(QByteArray(json)); };
    EXPECT_FALSE(parse(""));
    EXPECT_FALSE(parse("[]"));
    EXPECT_FALSE(parse(R"({"identifier":"a","displayName":"b","mountPoint":"/m","pid":1})")) << "no start time";
    EXPECT_FALSE(parse(R"({"identifier":"","displayName":"b","mountPoint":"/m","pid":1,"processStart":2})"));
    EXPECT_FALSE(parse(R"({"identifier":"a","displayName":"b","mountPoint":"m","pid":1,"processStart":2})"));
    EXPECT_FALSE(parse(R"({"identifier":"a","displayName":"b","mountPoint":"/m","pid":-1,"processStart":2})"));
    EXPECT_FALSE(parse(R"({"identifier":"a","displayName":"b","mountPoint":"/m","pid":1.5,"processStart":2})"));
    EXPECT_FALSE(parse(R"({"identifier":"a","displayName":"b","mountPoint":"/m","pid":1e12,"processStart":2})"));
    EXPECT_FALSE(parse(R"({"identifier":"a","displayName":3,"mountPoint":"/m","pid":1,"processStart":2})"));
    EXPECT_FALSE(parse(R"({"identifier":"a","displayName":"b","mountPoint":"/m","pid":"1","processStart":2})"));
    EXPECT_TRUE(parse(R"({"identifier":"a","displayName":"","mountPoint":"/m","pid":0,"processStart":0})"));
}

TEST(MountDirectoryName, makesDisplayNamesSafe) {
    EXPECT_EQ(safeDirectoryName("Pixel 7", "id"), "Pixel 7");
    EXPECT_EQ(safeDirectoryName("  Pixel 7  ", "id"), "Pixel 7");
    EXPECT_EQ(safeDirectoryName("USB/Work phone", "id"), "USB-Work phone");
    EXPECT_EQ(safeDirectoryName("line\nbreak\ttab", "id"), "line break tab");
    EXPECT_EQ(safeDirectoryName(QString("nul") + QChar(0) + "char", "id"), "nul char");
    EXPECT_EQ(safeDirectoryName("", "emulator-5554"), "emulator-5554");
    EXPECT_EQ(safeDirectoryName("   ", "emulator-5554"), "emulator-5554");
    EXPECT_EQ(safeDirectoryName(".", "emulator-5554"), "emulator-5554");
    EXPECT_EQ(safeDirectoryName("..", "x"), "x");
    EXPECT_EQ(safeDirectoryName("...", "x"), "...") << "only . and .. are special";
    EXPECT_EQ(safeDirectoryName("", ".."), "Phone");
    EXPECT_EQ(safeDirectoryName("/", ""), "-");
}

TEST(MountDirectoryName, numbersTakenNames) {
    QSet<QString> taken;
    const auto isTaken = [&](const QString &name) { return taken.contains(name); };
    EXPECT_EQ(uniqueDirectoryName("Pixel 7", isTaken), "Pixel 7");
    taken.insert("Pixel 7");
    EXPECT_EQ(uniqueDirectoryName("Pixel 7", isTaken), "Pixel 7 (2)");
    taken.insert("Pixel 7 (2)");
    taken.insert("Pixel 7 (3)");
    EXPECT_EQ(uniqueDirectoryName("Pixel 7", isTaken), "Pixel 7 (4)");
    EXPECT_EQ(uniqueDirectoryName("Pixel", isTaken), "Pixel");
}

} // namespace
