#include "extension/adbclient/adb_server_address.h"
#include "extension/adbclient/wire_format.h"

#include "tests/extension/adbclient/wire_bytes.h"

#include <gtest/gtest.h>

using namespace adbwire;

TEST(FailLength, ParsesHexDigitsOfEitherCaseWithOptionalPlus) {
    EXPECT_EQ(failMessageLength("000c"), 12);
    EXPECT_EQ(failMessageLength("000C"), 12);
    EXPECT_EQ(failMessageLength("+00c"), 12);
    EXPECT_EQ(failMessageLength("0000"), 0);
    EXPECT_EQ(failMessageLength("ffff"), 65535);
    EXPECT_EQ(failMessageLength("1aF0"), 0x1af0);
}

TEST(FailLength, AnythingButHexDigitsCountsAsZero) {
    EXPECT_EQ(failMessageLength("zzzz"), 0);
    EXPECT_EQ(failMessageLength(" 00c"), 0);
    EXPECT_EQ(failMessageLength("00c "), 0);
    EXPECT_EQ(failMessageLength("0x0c"), 0);
    EXPECT_EQ(failMessageLength("++0c"), 0);
    EXPECT_EQ(failMessageLength("+-0c"), 0);
    EXPECT_EQ(failMessageLength(QByteArrayView("\0\0\0\x0c", 4)), 0);
    EXPECT_EQ(failMessageLength("\xff\xfe\xfd\xfc"), 0);
    EXPECT_EQ(failMessageLength("++++"), 0);
}

TEST(FailReason, MessageWinsOverStatusWordUnlessEmpty) {
    EXPECT_EQ(failReason("FAIL", "device 'x' not found"), "device 'x' not found");
    EXPECT_EQ(failReason("FAIL", ""), "FAIL");
    EXPECT_EQ(failReason("WHAT", ""), "WHAT");
    EXPECT_EQ(failReason("\xff\x01\x02\x03", ""), QString(QChar(0xFFFD)) + "\x01\x02\x03");
}

TEST(RequestHeader, IsFourLowerCaseHexDigitsOfTheByteLength) {
    EXPECT_EQ(requestHeader(0), "0000");
    EXPECT_EQ(requestHeader(5), "0005");
    EXPECT_EQ(requestHeader(0xab), "00ab");
    EXPECT_EQ(requestHeader(0xffff), "ffff");
    EXPECT_EQ(requestHeader(0x10000), std::nullopt);
    EXPECT_EQ(requestHeader(-1), std::nullopt);
}

TEST(Records, FieldsComeInWireOrder) {
    const QByteArray dent("\x01\0\0\0\x02\0\0\0\x03\0\0\0\x04\0\0\0", 16);
    const DentHeader header = readDentHeader(dent);
    EXPECT_EQ(header.mode, 1u);
    EXPECT_EQ(header.size, 2u);
    EXPECT_EQ(header.modified, 3u);
    EXPECT_EQ(header.nameLength, 4u);

    const StatRecord record = readStatRecord(QByteArray("\xa4\x81\0\0\xff\xff\xff\xff\x10\0\0\0", 12));
    EXPECT_EQ(record.mode, 0100644u);
    EXPECT_EQ(record.size, 4294967295u);
    EXPECT_EQ(record.modified, 16u);
}

TEST(Records, TheSecondVersionCarriesSizesPast4GiBAndThePhonesErrno) {
    const QByteArray five = wirebytes::stat2(0, 0100660, 5LL << 30, 1700000000);
    ASSERT_EQ(five.size(), stat2RecordSize);
    const Stat2Record record = readStat2Record(five);
    EXPECT_EQ(record.error, 0u);
    EXPECT_EQ(record.mode, 0100660u);
    EXPECT_EQ(record.size, 5ULL << 30);
    EXPECT_EQ(record.modified, 1700000000);
    EXPECT_EQ(makeEntry("video.mp4", record), (AdbEntry{"video.mp4", false, 5LL << 30, 1700000000.0, true}));
    EXPECT_EQ(readStat2Record(wirebytes::stat2(2, 0, 0, 0)).error, 2u);
    // Out of any phone's range: no negative size or time comes of it.
    const AdbEntry odd = makeEntry("x", readStat2Record(wirebytes::stat2(0, 040771, ~0ULL, -5)));
    EXPECT_EQ(odd.size, 0);
    EXPECT_EQ(odd.modified, 0.0);
    EXPECT_TRUE(odd.isDirectory);
    EXPECT_EQ(readDent2NameLength(wirebytes::dent2(0, 040771, 4096, 1, "DCIM").mid(4)), 4u);
}

TEST(Features, OnlyTheWordsInTheListCount) {
    EXPECT_EQ(readFeatureList("shell_v2,cmd,stat_v2,ls_v2,fixed_push_mkdir"),
              QStringList({"shell_v2", "cmd", "stat_v2", "ls_v2", "fixed_push_mkdir"}));
    EXPECT_EQ(readFeatureList(" stat_v2 ,,\n"), QStringList({"stat_v2"}));
    EXPECT_EQ(readFeatureList(""), QStringList());
    EXPECT_EQ(syncDialectOf({"shell_v2", "stat_v2", "ls_v2"}), (SyncDialect{true, true}));
    EXPECT_EQ(syncDialectOf({"stat_v2"}), (SyncDialect{true, false}));
    EXPECT_EQ(syncDialectOf({"stat_v2x", "ls_v", "sendrecv_v2"}), SyncDialect{});
}

TEST(Entries, OnlyTheFolderTypeIsADirectory) {
    EXPECT_TRUE(isDirectoryMode(040000));
    EXPECT_TRUE(isDirectoryMode(040771));
    EXPECT_TRUE(isDirectoryMode(047777));
    EXPECT_FALSE(isDirectoryMode(0100644)); // regular file
    EXPECT_FALSE(isDirectoryMode(0120777)); // symbolic link, even to a folder
    EXPECT_FALSE(isDirectoryMode(0060660)); // block device shares the folder bit
    EXPECT_FALSE(isDirectoryMode(0140755)); // socket
    EXPECT_FALSE(isDirectoryMode(0010644)); // pipe
    EXPECT_FALSE(isDirectoryMode(0000755)); // permission bits alone
}

TEST(LookupName, IsTheLastComponentIgnoringTrailingSlashes) {
    EXPECT_EQ(lastPathComponent("/sdcard"), "sdcard");
    EXPECT_EQ(lastPathComponent("/sdcard/"), "sdcard");
    EXPECT_EQ(lastPathComponent("/sdcard//"), "sdcard");
    EXPECT_EQ(lastPathComponent("/"), "/");
    EXPECT_EQ(lastPathComponent("///"), "/");
    EXPECT_EQ(lastPathComponent("/sdcard/DCIM/a b.jpg"), "a b.jpg");
    EXPECT_EQ(lastPathComponent("/sdcard/Ünïcødé"), "Ünïcødé");
    EXPECT_EQ(lastPathComponent("relative"), "relative");
    EXPECT_EQ(lastPathComponent(""), "");
}

TEST(SendTarget, IsPathCommaDecimalModeCountedInBytes) {
    const QByteArray target = sendTarget("/sdcard/abc.txt", 33188);
    EXPECT_EQ(target, "/sdcard/abc.txt,33188");
    EXPECT_EQ(target.size(), 21);
    // A comma in the name stays; the phone splits at the last one.
    EXPECT_EQ(sendTarget("/sdcard/a,b", 420), "/sdcard/a,b,420");
    EXPECT_EQ(sendTarget("/sdcard/é", 33188).size(), 8 + 2 + 6);
    EXPECT_EQ(sendTarget(decodeName("/sdcard/caf\xe9"), 420), "/sdcard/caf\xe9,420");
}

TEST(Names, ComeBackToTheVeryBytesTheyCameFrom) {
    const QByteArray cases[] = {
        "plain", "Gr\xc3\xbc\xc3\x9f" "e", "caf\xe9", "\xff\xfe", "cut \xc3", "overlong \xe0\x80\xaf",
        "surrogate \xed\xa0\x80", "past U+10FFFF \xf4\x90\x80\x80", "U+10080 \xf0\x90\x82\x80", "\xe9\xf0\x90\x82\x80\xe9",
        // Byte-order marks, at the start and after a byte that is not UTF-8.
        "\xef\xbb\xbf" "a", "\xe9\xef\xbb\xbf" "a",
    };
    for (const QByteArray &bytes : cases) EXPECT_EQ(encodePath(decodeName(bytes)), bytes) << bytes.toHex().constData();
    // Valid UTF-8 reads as it always did.
    EXPECT_EQ(decodeName("Gr\xc3\xbc\xc3\x9f" "e \xf0\x90\x82\x80"), QString::fromUtf8("Gr\xc3\xbc\xc3\x9f" "e \xf0\x90\x82\x80"));
    EXPECT_EQ(decodeName("caf\xe9").size(), 4);
}


TEST(AdbServerChoice, FollowsTheAdbToolsVariablesAndFallsBackWithAReason) {
    const auto none = std::nullopt;
    EXPECT_EQ(chooseAdbServer(none, none).port, 5037);
    EXPECT_EQ(chooseAdbServer(none, QString("5038")).port, 5038);
    EXPECT_EQ(chooseAdbServer(QString("tcp:5039"), QString("5038")).port, 5039) << "the socket wins, as with the adb tool";
    EXPECT_EQ(chooseAdbServer(QString("tcp:localhost:5040"), none).port, 5040);
    EXPECT_EQ(chooseAdbServer(QString("tcp:127.0.0.3:5041"), none).port, 5041);
    EXPECT_TRUE(chooseAdbServer(QString("tcp:5039"), none).problem.isEmpty());
    for (const auto &[socket, port] : std::initializer_list<std::pair<std::optional<QString>, std::optional<QString>>>{
             {none, QString("0")}, {none, QString("65536")}, {none, QString("50 37")}, {none, QString("+5038")}, {none, QString("port")},
             {QString("5039"), none}, {QString("udp:5039"), none}, {QString("tcp:"), none}, {QString("tcp:a:b:5039"), none},
             {QString("tcp:192.0.2.1:5039"), none}, {QString("tcp:127.0.0.300:5039"), none}}) {
        const AdbServerChoice choice = chooseAdbServer(socket, port);
        EXPECT_EQ(choice.port, 5037) << qPrintable(socket.value_or(port.value_or("")));
        EXPECT_FALSE(choice.problem.isEmpty());
    }
}
