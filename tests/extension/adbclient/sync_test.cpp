#include "extension/adbclient/adb_client.h"
#include "extension/adbclient/local_file_error.h"
#include "extension/adbclient/wire_format.h"
#include "tests/extension/adbclient/client_failure.h"
#include "tests/extension/adbclient/scripted_server.h"
#include "tests/extension/adbclient/wire_bytes.h"
#include "tests/support/temp_folder.h"

#include <QFile>

#include <gtest/gtest.h>

#include <chrono>
#include <sys/stat.h>
#include <thread>

using namespace wirebytes;
using Ending = ScriptedServer::Ending;

namespace {

const QByteArray kSerial = "emulator-5554";

QByteArray readFile(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void writeFile(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// An upload as the server read it: the SEND target, then DATA packets until DONE.
struct SentUpload {
    QByteArray target;
    QList<qsizetype> chunkSizes;
    QByteArray data;
    std::optional<quint32> doneTime;
    QByteArray leftover; // anything after DONE, or a malformed packet
};

SentUpload parseUpload(const QByteArray &sent) {
    SentUpload upload;
    const QByteArray prologue = syncPrologue(kSerial);
    if (!sent.startsWith(prologue + "SEND")) {
        upload.leftover = sent;
        return upload;
    }
    qsizetype at = prologue.size() + 4;
    const quint32 targetLength = le32At(sent, at);
    upload.target = sent.mid(at + 4, targetLength);
    at += 4 + targetLength;
    while (at + 8 <= sent.size() && sent.mid(at, 4) == "DATA") {
        const quint32 length = le32At(sent, at + 4);
        upload.chunkSizes.append(length);
        upload.data += sent.mid(at + 8, length);
        at += 8 + length;
    }
    if (at + 8 <= sent.size() && sent.mid(at, 4) == "DONE") {
        upload.doneTime = le32At(sent, at + 4);
        at += 8;
    }
    upload.leftover = sent.mid(at);
    return upload;
}

quint32 nowSeconds() {
    return quint32(std::chrono::duration_cast<std::chrono::seconds>(
                       std::chrono::system_clock::now().time_since_epoch())
                       .count());
}

} // namespace

// ---- LIST ----

TEST(SyncList, SendsTheExactRequestAndReadsEntriesInOrder) {
    const QByteArray reply = twoOkays() + dent(040771, 4096, 1000, ".") + dent(040771, 4096, 1000, "..") +
                             dent(040770, 3452, 1700000000, "DCIM") +
                             dent(0100660, 0xffffffffu, 0xffffffffu, "huge.bin") +
                             dent(0120777, 21, 5, "link-to-dir") + dent(0100644, 1, 2, "bad \xff name") +
                             "DONE" + QByteArray(16, '\0');
    ScriptedServer server(reply);
    const QList<AdbEntry> entries = AdbClient(kSerial, server.port()).list("/sdcard");

    EXPECT_EQ(server.received(), syncPrologue(kSerial) + QByteArray("LIST\x07\0\0\0/sdcard", 15));
    ASSERT_EQ(entries.size(), 4);
    EXPECT_EQ(entries[0], (AdbEntry{"DCIM", true, 3452, 1700000000.0}));
    EXPECT_EQ(entries[1], (AdbEntry{"huge.bin", false, 4294967295LL, 4294967295.0}));
    EXPECT_EQ(entries[2], (AdbEntry{"link-to-dir", false, 21, 5.0}));
    // A name that is not UTF-8 goes back to the phone as the same bytes.
    EXPECT_EQ(adbwire::encodePath(entries[3].name), "bad \xff name");
}

TEST(SyncList, TheSecondVersionListsWholeSizesAndSkipsWhatThePhoneCouldNotLookAt) {
    ScriptedServer server(dent2(0, 040771, 4096, 1000, ".") + dent2(0, 0100660, 5LL << 30, 1700000000, "video.mp4") +
                          dent2(13, 0, 0, 0, "hidden") + "DONE" + QByteArray(72, '\0') + "STA2" + stat2(0, 0100660, 5LL << 30, 9) +
                          "LST2" + stat2(2, 0, 0, 0));
    BufferedSocket connection = BufferedSocket::connect(server.port());
    const QList<AdbEntry> entries = AdbClient::listOn(connection, "/sdcard", {true, true});
    EXPECT_EQ(entries, QList<AdbEntry>({AdbEntry{"video.mp4", false, 5LL << 30, 1700000000.0, true}}));
    AdbClient::sendSyncRequest(connection, "STA2", "/sdcard/video.mp4");
    EXPECT_EQ(AdbClient::statReplyOn(connection, "/sdcard/video.mp4", "STA2")->size, 5LL << 30);
    EXPECT_EQ(AdbClient::statReplyOn(connection, "/sdcard/gone", "LST2"), std::nullopt);
    connection.close();
    EXPECT_EQ(server.received(), QByteArray("LIS2\x07\0\0\0/sdcard", 15) + QByteArray("STA2\x11\0\0\0/sdcard/video.mp4", 25));
}

TEST(SyncList, AnyOtherPacketIsAProtocolErrorNamingIt) {
    ScriptedServer failed(twoOkays() + "FAIL" + le32(4) + "oops");
    const auto failure = clientFailure([&] { AdbClient(kSerial, failed.port()).list("/sdcard"); });
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->kind(), AdbClientError::Kind::protocolError);
    EXPECT_EQ(failure->description(), "adb protocol error: LIST got FAIL");

    ScriptedServer unknown(twoOkays() + dent(0100644, 1, 1, "a") + "DNT2" + QByteArray(40, '\0'));
    EXPECT_CLIENT_ERROR(AdbClient(kSerial, unknown.port()).list("/sdcard"), protocolError, "LIST got DNT2");
}

// ---- STAT ----

TEST(SyncStat, SendsTheExactRequestAndNamesTheEntryAfterThePath) {
    struct Case {
        QString path;
        QString name;
    };
    for (const Case &c : {Case{"/sdcard", "sdcard"}, Case{"/sdcard/", "sdcard"}, Case{"/", "/"},
                          Case{"/sdcard/Music/it's a song.mp3", "it's a song.mp3"}}) {
        SCOPED_TRACE(c.path.toStdString());
        ScriptedServer server(twoOkays() + "STAT" + le32(040771) + le32(3452) + le32(1700000001));
        const auto entry = AdbClient(kSerial, server.port()).stat(c.path);
        ASSERT_TRUE(entry);
        EXPECT_EQ(*entry, (AdbEntry{c.name, true, 3452, 1700000001.0}));
        EXPECT_EQ(server.received(), syncPrologue(kSerial) + syncPacket("STAT", c.path.toUtf8()));
    }
}

TEST(SyncStat, ModeZeroIsNothingThereAndSeveralAskedAtOnceAreAnsweredInOrder) {
    ScriptedServer server(twoOkays() + "STAT" + QByteArray(12, '\0'));
    EXPECT_EQ(AdbClient(kSerial, server.port()).stat("/sdcard/missing"), std::nullopt);

    ScriptedServer two(twoOkays() + "STAT" + QByteArray(12, '\0') + "STAT" + le32(0100644) + le32(5) + le32(1700000002));
    const auto entries = AdbClient(kSerial, two.port()).statAll({"/sdcard/gone", "/sdcard/here.txt"});
    EXPECT_EQ(entries, (QList<std::optional<AdbEntry>>{std::nullopt, AdbEntry{"here.txt", false, 5, 1700000002.0}}));
    EXPECT_EQ(two.received(), syncPrologue(kSerial) + syncPacket("STAT", "/sdcard/gone") + syncPacket("STAT", "/sdcard/here.txt"));
}

TEST(SyncStat, AnyOtherReplyIsBadStat) {
    for (const QByteArray &reply : {QByteArray("FAIL") + le32(4) + "nope", QByteArray("STA2") + QByteArray(12, '\0')}) {
        ScriptedServer server(twoOkays() + reply);
        EXPECT_CLIENT_ERROR(AdbClient(kSerial, server.port()).stat("/sdcard"), protocolError, "bad STAT");
    }
    ScriptedServer cut(twoOkays() + "STAT" + QByteArray(8, '\0'), Ending::closeAfterReply);
    EXPECT_CLIENT_ERROR(AdbClient(kSerial, cut.port()).stat("/sdcard"), protocolError, "unexpected EOF");
}

// ---- RECV ----

TEST(SyncPull, WritesEveryChunkInOrder) {
    testsupport::TempFolder folder;
    // A chunk larger than a phone sends is still taken whole.
    const QByteArray first = pattern(65536), second = pattern(1) + "x", third = pattern(300000);
    ScriptedServer server(twoOkays() + "DATA" + le32(65536) + first + "DATA" + le32(2) + second + "DATA" +
                          le32(300000) + third + "DONE" + le32(0));
    const QString destination = folder.file("photo.jpg");
    AdbClient(kSerial, server.port()).pull("/sdcard/DCIM/photo.jpg", destination);
    EXPECT_EQ(readFile(destination), first + second + third);
    EXPECT_EQ(server.received(), syncPrologue(kSerial) + syncPacket("RECV", "/sdcard/DCIM/photo.jpg"));
}

TEST(SyncPull, FailCarriesThePhonesTextAndLeavesAnEmptyFile) {
    testsupport::TempFolder folder;
    writeFile(folder.file("x"), "stale");
    const QByteArray message = "open failed: No such file or directory";
    ScriptedServer server(twoOkays() + "FAIL" + le32(quint32(message.size())) + message);
    EXPECT_CLIENT_ERROR(AdbClient(kSerial, server.port()).pull("/sdcard/nothing", folder.file("x")), requestFailed,
                        QString(message));
    EXPECT_EQ(readFile(folder.file("x")), "");
}

// ---- SEND ----

TEST(SyncPush, SendsTargetDataAndTheCurrentTime) {
    testsupport::TempFolder folder;
    writeFile(folder.file("src"), "hello");
    ScriptedServer server(twoOkays() + "OKAY" + le32(0));
    const quint32 before = nowSeconds();
    AdbClient(kSerial, server.port()).push(folder.file("src"), "/sdcard/abc.txt", 33188);
    const quint32 after = nowSeconds();

    const QByteArray sent = server.received();
    EXPECT_EQ(sent.left(syncPrologue(kSerial).size() + 8 + 21),
              syncPrologue(kSerial) + QByteArray("SEND\x15\0\0\0/sdcard/abc.txt,33188", 29));
    const SentUpload upload = parseUpload(sent);
    EXPECT_EQ(upload.target, "/sdcard/abc.txt,33188");
    EXPECT_EQ(upload.chunkSizes, QList<qsizetype>{5});
    EXPECT_EQ(upload.data, "hello");
    ASSERT_TRUE(upload.doneTime);
    EXPECT_GE(*upload.doneTime, before);
    EXPECT_LE(*upload.doneTime, after);
    EXPECT_TRUE(upload.leftover.isEmpty());
}

TEST(SyncPush, ChunksAreAtMost65536Bytes) {
    struct Case {
        qsizetype size;
        QList<qsizetype> chunks;
    };
    for (const Case &c : {Case{0, {}}, Case{1, {1}}, Case{65535, {65535}}, Case{65536, {65536}},
                          Case{65537, {65536, 1}}, Case{3 * 65536 + 7, {65536, 65536, 65536, 7}}}) {
        SCOPED_TRACE(c.size);
        testsupport::TempFolder folder;
        const QByteArray contents = pattern(c.size);
        writeFile(folder.file("src"), contents);
        ScriptedServer server(twoOkays() + "OKAY" + le32(0));
        AdbClient(kSerial, server.port()).push(folder.file("src"), "/sdcard/f");
        const SentUpload upload = parseUpload(server.received());
        EXPECT_EQ(upload.target, "/sdcard/f,33188");
        EXPECT_EQ(upload.chunkSizes, c.chunks);
        EXPECT_EQ(upload.data, contents);
        EXPECT_TRUE(upload.doneTime);
        EXPECT_TRUE(upload.leftover.isEmpty());
    }
}

TEST(SyncPush, AStreamThatEndsIsCompleteOnlyAtItsWritersWord) {
    testsupport::TempFolder folder;
    const QString pipe = folder.file("pipe");
    for (const bool said : {false, true}) {
        SCOPED_TRACE(said ? "complete at its length" : "writer gone");
        ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        std::thread writer([&] {
            QFile end(pipe);
            if (end.open(QIODevice::WriteOnly)) end.write("hello");
        });
        ScriptedServer server(twoOkays() + "OKAY" + le32(0));
        const auto complete = [said](qint64 length) { return said && length == 5; };
        const auto push = [&] { AdbClient(kSerial, server.port()).push(pipe, "/sdcard/f", 33188, {}, complete); };
        if (said) {
            push();
        } else {
            EXPECT_THROW(push(), LocalFileError);
        }
        writer.join();
        QFile::remove(pipe);
        const SentUpload upload = parseUpload(server.received());
        EXPECT_EQ(upload.data, "hello");
        // Without DONE the phone drops what it had.
        EXPECT_EQ(upload.doneTime.has_value(), said);
    }
}

TEST(SyncPush, FailCarriesThePhonesText) {
    testsupport::TempFolder folder;
    writeFile(folder.file("src"), "x");
    const QByteArray message = "couldn't create file: Is a directory";
    ScriptedServer server(twoOkays() + "FAIL" + le32(quint32(message.size())) + message);
    EXPECT_CLIENT_ERROR(AdbClient(kSerial, server.port()).push(folder.file("src"), "/sdcard/DCIM"), requestFailed,
                        QString(message));
}

TEST(SyncPush, ReplyThatIsNeitherOkayNorFailIsNotASuccess) {
    testsupport::TempFolder folder;
    writeFile(folder.file("src"), "x");
    ScriptedServer server(twoOkays() + "WHAT" + le32(0));
    EXPECT_CLIENT_ERROR(AdbClient(kSerial, server.port()).push(folder.file("src"), "/sdcard/x"), protocolError,
                        "SEND got WHAT");
    ScriptedServer cut(twoOkays() + "OK", Ending::closeAfterReply);
    EXPECT_CLIENT_ERROR(AdbClient(kSerial, cut.port()).push(folder.file("src"), "/sdcard/x"), protocolError,
                        "unexpected EOF");
}

