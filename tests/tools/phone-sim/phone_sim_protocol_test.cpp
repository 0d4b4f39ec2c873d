// The emulated phone's side of the adb transport and of the sync service,
// checked byte for byte with a hand-made host side (no adb server needed).
#include "tests/support/temp_folder.h"
#include "tests/tools/phone-sim/raw_adb.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <thread>

using namespace rawadb;
using testsupport::TempFolder;

namespace {

void writeFile(const QString &path, const QByteArray &bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QByteArray readFile(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

QByteArray pattern(qsizetype size) {
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 state = 12345;
    for (qsizetype i = 0; i < size; ++i) {
        state = state * 1664525u + 1013904223u;
        bytes[i] = char(state >> 24);
    }
    return bytes;
}

std::string str(const QString &s) { return s.toStdString(); }

// Says where two byte strings part, without printing them.
std::string firstDifference(const std::string &got, const std::string &want) {
    size_t i = 0;
    while (i < got.size() && i < want.size() && got[i] == want[i]) ++i;
    return "got " + std::to_string(got.size()) + " bytes, want " + std::to_string(want.size()) + ", first difference at " +
           std::to_string(i) + (i < got.size() ? ": got \"" + got.substr(i, 12) + "\"" : std::string());
}

// A served folder inside a temporary one, so tests can see that nothing
// appears beside it.
struct Phone {
    explicit Phone(std::vector<std::string> extra = {})
        : folder(outer.path() + "/served"), sim([&] {
              QDir().mkpath(folder);
              std::vector<std::string> arguments = {"--folder", str(folder), "--model", "Raw_Model"};
              arguments.insert(arguments.end(), extra.begin(), extra.end());
              return arguments;
          }()) {}
    QString file(const QString &relative) const { return folder + "/" + relative; }
    TempFolder outer;
    QString folder;
    SimProcess sim;
};

struct SyncSession {
    explicit SyncSession(uint16_t port, uint32_t maxPayload = 1024 * 1024) : connection(port) {
        connection.handshake(maxPayload);
        stream = std::make_unique<Stream>(connection, "sync:", 1);
    }
    std::string request(const char *id, const std::string &path, size_t replySize) {
        EXPECT_TRUE(stream->write(syncRequest(id, path)));
        std::string reply;
        EXPECT_TRUE(stream->read(replySize, &reply)) << id << " " << path;
        return reply;
    }
    // FAIL + length + text, read whole.
    std::string failText() {
        std::string header, text;
        if (!stream->read(8, &header)) return "<nothing>";
        if (header.substr(0, 4) != "FAIL") return std::string("<").append(header, 0, 4).append(">");
        stream->read(le32(header, 4), &text);
        return text;
    }
    // Reads DATA chunks up to DONE; returns the bytes, the largest chunk in `largest`.
    bool receiveFile(std::string *bytes, size_t *largest) {
        *largest = 0;
        for (;;) {
            std::string header;
            if (!stream->read(8, &header)) return false;
            if (header.substr(0, 4) == "DONE") return le32(header, 4) == 0;
            if (header.substr(0, 4) != "DATA") return false;
            const uint32_t n = le32(header, 4);
            *largest = std::max<size_t>(*largest, n);
            std::string chunk;
            if (!stream->read(n, &chunk)) return false;
            *bytes += chunk;
        }
    }
    Connection connection;
    std::unique_ptr<Stream> stream;
};

struct Entry {
    uint32_t mode, size, time;
    std::string name;
};

std::vector<Entry> list(SyncSession &session, const std::string &path, bool *ended = nullptr) {
    std::vector<Entry> entries;
    EXPECT_TRUE(session.stream->write(syncRequest("LIST", path)));
    for (;;) {
        std::string header;
        if (!session.stream->read(20, &header)) break;
        if (header.substr(0, 4) == "DONE") {
            if (ended) *ended = header == std::string("DONE") + std::string(16, '\0');
            break;
        }
        std::string name;
        session.stream->read(le32(header, 16), &name);
        entries.push_back({le32(header, 4), le32(header, 8), le32(header, 12), name});
    }
    return entries;
}

const Entry *named(const std::vector<Entry> &entries, const std::string &name) {
    for (const auto &e : entries)
        if (e.name == name) return &e;
    return nullptr;
}

} // namespace

// ------------------------------------------------------------ transport

TEST(PhoneSimTransport, AnswersCnxnAtOnceWithItsBannerAndTheByteSumCheck) {
    Phone phone;
    Connection connection(phone.sim.port());
    const Message reply = connection.handshake();
    EXPECT_EQ(reply.command, kCnxn);
    EXPECT_EQ(reply.magic, kCnxn ^ 0xffffffffu);
    EXPECT_EQ(reply.arg0, 0x01000001u);
    EXPECT_EQ(reply.arg1, 1024u * 1024u);
    EXPECT_EQ(reply.payload, "device::ro.product.name=dorvane_sim;ro.product.model=Raw_Model;ro.product.device=dorvane_sim;features=");
    uint32_t sum = 0;
    for (unsigned char c : reply.payload) sum += c;
    EXPECT_EQ(reply.check, sum);
}

TEST(PhoneSimTransport, KeepsToTheSmallerMaxPayload) {
    Phone phone;
    const QByteArray content = pattern(100000);
    writeFile(phone.file("f.bin"), content);
    SyncSession session(phone.sim.port(), 4096);
    ASSERT_TRUE(session.stream->write(syncRequest("RECV", "/sdcard/f.bin")));
    std::string bytes;
    size_t largest;
    ASSERT_TRUE(session.receiveFile(&bytes, &largest));
    EXPECT_TRUE(bytes == content.toStdString()) << firstDifference(bytes, content.toStdString());
    ASSERT_FALSE(session.stream->writeSizes().empty());
    for (size_t size : session.stream->writeSizes()) EXPECT_LE(size, 4096u);
}

TEST(PhoneSimTransport, SendsOneWriteAtATimeUntilItIsAnswered) {
    Phone phone;
    writeFile(phone.file("big.bin"), pattern(5 * 1024 * 1024));
    SyncSession session(phone.sim.port());
    ASSERT_TRUE(session.stream->write(syncRequest("RECV", "/sdcard/big.bin")));
    std::string payload;
    ASSERT_TRUE(session.stream->receiveWrite(&payload, std::chrono::seconds(5)));
    EXPECT_GT(payload.size(), 64u * 1024u); // several DATA chunks per write
    EXPECT_LE(payload.size(), 1024u * 1024u);
    EXPECT_FALSE(session.stream->receiveWrite(&payload, std::chrono::milliseconds(300)));
    session.stream->answer();
    EXPECT_TRUE(session.stream->receiveWrite(&payload, std::chrono::seconds(5)));
    EXPECT_FALSE(session.stream->receiveWrite(&payload, std::chrono::milliseconds(200)));
}

TEST(PhoneSimTransport, AnswersEveryWriteWithOkay) {
    Phone phone;
    SyncSession session(phone.sim.port());
    // Each request goes out in small writes: every one must be answered.
    const std::string request = syncRequest("STAT", "/sdcard/nothing");
    for (char c : request) ASSERT_TRUE(session.stream->write(std::string(1, c)));
    std::string reply;
    ASSERT_TRUE(session.stream->read(16, &reply));
    EXPECT_EQ(reply, "STAT" + std::string(12, '\0'));
}

TEST(PhoneSimTransport, ServesSeveralStreamsAndConnectionsAtOnce) {
    Phone phone;
    const QByteArray a = pattern(3 * 1024 * 1024), b = pattern(2 * 1024 * 1024 + 7);
    writeFile(phone.file("a.bin"), a);
    writeFile(phone.file("b.bin"), b);
    Connection one(phone.sim.port());
    one.handshake();
    Stream first(one, "sync:", 10), second(one, "sync:", 11);
    ASSERT_TRUE(first.isOpen());
    ASSERT_TRUE(second.isOpen());
    SyncSession other(phone.sim.port());
    // Requests on all three before any reply is read.
    one.send(kWrte, 10, 0, {}); // a stray write for a stream the phone does not know: ignored
    ASSERT_TRUE(first.write(syncRequest("RECV", "/sdcard/a.bin")));
    ASSERT_TRUE(second.write(syncRequest("RECV", "/sdcard/b.bin")));
    ASSERT_TRUE(other.stream->write(syncRequest("RECV", "/sdcard/a.bin")));
    // Streams of one connection share it, so read them interleaved.
    struct Receiver {
        std::string data, header;
        bool done = false, broken = false;
        void step(Stream &s) {
            if (done || broken) return;
            if (header.empty() && !s.read(8, &header, std::chrono::milliseconds(20))) return;
            if (header.compare(0, 4, "DONE") == 0) {
                done = true;
                return;
            }
            if (header.compare(0, 4, "DATA") != 0) {
                broken = true;
                return;
            }
            std::string chunk;
            if (!s.read(le32(header, 4), &chunk, std::chrono::milliseconds(20))) return;
            data += chunk;
            header.clear();
        }
    } gotA, gotB;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!(gotA.done && gotB.done) && !gotA.broken && !gotB.broken && std::chrono::steady_clock::now() < deadline) {
        gotA.step(first);
        gotB.step(second);
    }
    ASSERT_TRUE(gotA.done && gotB.done);
    EXPECT_TRUE(gotA.data == a.toStdString()) << firstDifference(gotA.data, a.toStdString());
    EXPECT_TRUE(gotB.data == b.toStdString()) << firstDifference(gotB.data, b.toStdString());
    std::string third;
    size_t largest;
    ASSERT_TRUE(other.receiveFile(&third, &largest));
    EXPECT_TRUE(third == a.toStdString()) << firstDifference(third, a.toStdString());
}

TEST(PhoneSimTransport, RefusesAnUnknownServiceWithClse) {
    Phone phone;
    Connection connection(phone.sim.port());
    connection.handshake();
    Stream stream(connection, "framebuffer:", 7);
    EXPECT_FALSE(stream.isOpen());
    EXPECT_TRUE(stream.wasRefused());
    Stream shell(connection, "shell:true", 8); // the connection still serves
    EXPECT_TRUE(shell.isOpen());
    EXPECT_EQ(shell.readToEnd(), "");
    EXPECT_TRUE(shell.closedByPhone());
}

TEST(PhoneSimTransport, AGarbledMessageDropsThatConnectionOnly) {
    Phone phone;
    SyncSession bystander(phone.sim.port());
    const std::vector<std::pair<const char *, std::string>> garbage = {
        {"bad magic", std::string("OPEN") + std::string(16, '\0') + "XXXX"},
        {"random bytes", [] {
             static const char bytes[] = "\x13\x37\xde\xad\xbe\xef\x00\x01 this is not adb at all, no no no";
             return std::string(bytes, sizeof bytes - 1);
         }()},
        {"unknown command", [] {
             std::string m(24, '\0');
             const uint32_t cmd = 0x41424344, magic = ~cmd;
             std::memcpy(m.data(), &cmd, 4);
             std::memcpy(m.data() + 20, &magic, 4);
             return m;
         }()},
        {"payload beyond any maximum", [] {
             std::string m(24, '\0');
             const uint32_t cmd = kWrte, length = 64u * 1024 * 1024, magic = ~cmd;
             std::memcpy(m.data(), &cmd, 4);
             std::memcpy(m.data() + 12, &length, 4);
             std::memcpy(m.data() + 20, &magic, 4);
             return m;
         }()},
    };
    for (const auto &[what, bytes] : garbage) {
        for (bool afterHandshake : {false, true}) {
            Connection bad(phone.sim.port());
            ASSERT_TRUE(bad.isOpen()) << what;
            if (afterHandshake) bad.handshake();
            bad.sendRaw(bytes);
            EXPECT_TRUE(bad.closedByPeer()) << what << (afterHandshake ? " after" : " before") << " the handshake";
            ASSERT_TRUE(phone.sim.alive()) << what;
        }
    }
    // A message cut short, then the connection closed.
    {
        Connection cut(phone.sim.port());
        cut.handshake();
        cut.sendRaw(std::string("WRTE\x01\x00", 6));
    }
    // A flood of writes that ignores the flow control: the phone drops the
    // connection once too many wait, or keeps up; it never grows without end.
    {
        Connection flood(phone.sim.port());
        flood.handshake();
        Stream stream(flood, "sync:", 3);
        ASSERT_TRUE(stream.isOpen());
        std::string wire = syncRequest("SEND", "/sdcard/flood.bin,33188");
        for (int i = 0; i < 64; ++i) wire += syncData(std::string(60000, 'x'));
        for (size_t at = 0; at < wire.size(); at += 65536) flood.send(kWrte, 3, 1, wire.substr(at, 65536));
    }
    ASSERT_TRUE(phone.sim.alive());
    std::string reply = bystander.request("STAT", "/sdcard/", 16);
    EXPECT_EQ(le32(reply, 4) & S_IFMT, uint32_t(S_IFDIR));
    SyncSession fresh(phone.sim.port());
    reply = fresh.request("STAT", "/sdcard/", 16);
    EXPECT_EQ(reply.substr(0, 4), "STAT");
}

TEST(PhoneSimTransport, ASecondCnxnStartsTheConnectionOver) {
    Phone phone;
    Connection connection(phone.sim.port());
    connection.handshake();
    Stream before(connection, "sync:", 1);
    ASSERT_TRUE(before.isOpen());
    const Message again = connection.handshake(65536);
    EXPECT_EQ(again.command, kCnxn);
    Stream after(connection, "sync:", 2);
    ASSERT_TRUE(after.isOpen());
    ASSERT_TRUE(after.write(syncRequest("STAT", "/sdcard/")));
    std::string reply;
    ASSERT_TRUE(after.read(16, &reply));
    EXPECT_EQ(reply.substr(0, 4), "STAT");
}

TEST(PhoneSimTransport, EndsCleanlyOnSigtermWithConnectionsOpen) {
    Phone phone;
    writeFile(phone.file("big.bin"), pattern(4 * 1024 * 1024));
    SyncSession busy(phone.sim.port());
    busy.stream->setManualAnswers(true);
    ASSERT_TRUE(busy.stream->write(syncRequest("RECV", "/sdcard/big.bin")));
    std::string payload;
    ASSERT_TRUE(busy.stream->receiveWrite(&payload, std::chrono::seconds(5))); // now waiting for an OKAY
    Connection idle(phone.sim.port());
    idle.handshake();
    EXPECT_EQ(phone.sim.stop(), 0);
    EXPECT_TRUE(idle.closedByPeer());
}

TEST(PhoneSimTransport, TcpipListensOnTheWifiAddressToo) {
    Phone phone({"--wifi-address", "127.0.77.1"});
    {
        Connection probe(5555, "127.0.77.1");
        EXPECT_FALSE(probe.isOpen()); // Wi-Fi adb is off until tcpip
    }
    Connection connection(phone.sim.port());
    connection.handshake();
    Stream tcpip(connection, "tcpip:5555", 1);
    ASSERT_TRUE(tcpip.isOpen());
    EXPECT_EQ(tcpip.readToEnd(), "restarting in TCP mode port: 5555\n");
    EXPECT_TRUE(tcpip.closedByPhone());
    // The cable connection stays, and the same phone answers on the Wi-Fi address.
    Connection wifi(5555, "127.0.77.1");
    ASSERT_TRUE(wifi.isOpen());
    EXPECT_EQ(wifi.handshake().command, kCnxn);
    writeFile(phone.file("seen.txt"), "same phone");
    Stream sync(wifi, "sync:", 1);
    ASSERT_TRUE(sync.write(syncRequest("STAT", "/sdcard/seen.txt")));
    std::string reply;
    ASSERT_TRUE(sync.read(16, &reply));
    EXPECT_EQ(le32(reply, 8), 10u);
    Stream again(connection, "tcpip:5555", 2); // a second time changes nothing
    EXPECT_EQ(again.readToEnd(), "restarting in TCP mode port: 5555\n");
}

TEST(PhoneSimTransport, TcpipWithoutWifiListensNowhere) {
    Phone phone;
    Connection connection(phone.sim.port());
    connection.handshake();
    Stream tcpip(connection, "tcpip:5555", 1);
    EXPECT_EQ(tcpip.readToEnd(), "restarting in TCP mode port: 5555\n");
    Stream bad(connection, "tcpip:nope", 2);
    EXPECT_EQ(bad.readToEnd(), "invalid port\n");
}

// ------------------------------------------------------------------ sync

TEST(PhoneSimSync, StatGivesModeSizeAndTimeAndZeroForNothing) {
    Phone phone;
    writeFile(phone.file("five.txt"), "12345");
    QDir().mkpath(phone.file("dir"));
    const struct timespec times[2] = {{1600000000, 0}, {1600000000, 0}};
    ::utimensat(AT_FDCWD, phone.file("five.txt").toLocal8Bit().constData(), times, 0);
    SyncSession session(phone.sim.port());
    std::string reply = session.request("STAT", "/sdcard/five.txt", 16);
    EXPECT_EQ(reply.substr(0, 4), "STAT");
    EXPECT_EQ(le32(reply, 4), uint32_t(S_IFREG | 0660));
    EXPECT_EQ(le32(reply, 8), 5u);
    EXPECT_EQ(le32(reply, 12), 1600000000u);
    reply = session.request("STAT", "/storage/emulated/0/dir", 16);
    EXPECT_EQ(le32(reply, 4), uint32_t(S_IFDIR | 0771));
    EXPECT_EQ(session.request("STAT", "/sdcard/missing/too", 16), "STAT" + std::string(12, '\0'));
    // As on a phone, /sdcard itself is a link; behind a slash it is the folder.
    reply = session.request("STAT", "/sdcard", 16);
    EXPECT_EQ(le32(reply, 4), uint32_t(S_IFLNK | 0777));
    reply = session.request("STAT", "/sdcard/", 16);
    EXPECT_EQ(le32(reply, 4) & S_IFMT, uint32_t(S_IFDIR));
    reply = session.request("STAT", "/", 16);
    EXPECT_EQ(le32(reply, 4) & S_IFMT, uint32_t(S_IFDIR));
    EXPECT_EQ(session.request("STAT", "/system/build.prop", 16), "STAT" + std::string(12, '\0'));
}

TEST(PhoneSimSync, ListGivesEveryEntryWithDotsThenDone) {
    Phone phone;
    writeFile(phone.file("Music/a.mp3"), "abc");
    QDir().mkpath(phone.file("Music/Albums"));
    writeFile(phone.file("Music/it's a ü.txt"), "x");
    SyncSession session(phone.sim.port());
    bool ended = false;
    const auto entries = list(session, "/sdcard/Music", &ended);
    EXPECT_TRUE(ended);
    ASSERT_EQ(entries.size(), 5u);
    ASSERT_TRUE(named(entries, "."));
    ASSERT_TRUE(named(entries, ".."));
    ASSERT_TRUE(named(entries, "a.mp3"));
    EXPECT_EQ(named(entries, "a.mp3")->size, 3u);
    EXPECT_EQ(named(entries, "a.mp3")->mode, uint32_t(S_IFREG | 0660));
    ASSERT_TRUE(named(entries, "Albums"));
    EXPECT_EQ(named(entries, "Albums")->mode & S_IFMT, uint32_t(S_IFDIR));
    EXPECT_TRUE(named(entries, "it's a ü.txt"));
    // The top lists its own "..".
    const auto top = list(session, "/sdcard/");
    EXPECT_TRUE(named(top, ".."));
    EXPECT_TRUE(named(top, "Music"));
    // Missing, a file, or outside: an empty listing, never a FAIL.
    for (const char *path : {"/sdcard/nothing", "/sdcard/Music/a.mp3", "/etc", "/sdcard/../../etc"}) {
        ended = false;
        EXPECT_TRUE(list(session, path, &ended).empty()) << path;
        EXPECT_TRUE(ended) << path;
    }
}

TEST(PhoneSimSync, RecvSendsChunksOfAtMost64KiBThenDone) {
    Phone phone;
    for (qsizetype size : {0, 1, 65536, 65537, 3 * 1024 * 1024 + 3}) {
        const QByteArray content = pattern(size);
        writeFile(phone.file("f.bin"), content);
        SyncSession session(phone.sim.port());
        ASSERT_TRUE(session.stream->write(syncRequest("RECV", "/sdcard/f.bin")));
        std::string bytes;
        size_t largest;
        ASSERT_TRUE(session.receiveFile(&bytes, &largest)) << size;
        EXPECT_TRUE(bytes == content.toStdString()) << size << " " << firstDifference(bytes, content.toStdString());
        EXPECT_LE(largest, 65536u);
        // The service goes on after a RECV.
        EXPECT_EQ(session.request("STAT", "/sdcard/f.bin", 16).substr(0, 4), "STAT");
    }
}

TEST(PhoneSimSync, RecvOfNothingOrOfAFolderFailsWithThePhonesText) {
    Phone phone;
    QDir().mkpath(phone.file("dir"));
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"/sdcard/missing.txt", "open failed: No such file or directory"},
        {"/sdcard/dir", "read failed: Is a directory"},
        {"/etc/passwd", "open failed: Permission denied"},
        {"/sdcard/../etc/passwd", "open failed: Permission denied"},
    };
    for (const auto &[path, text] : cases) {
        SyncSession session(phone.sim.port());
        ASSERT_TRUE(session.stream->write(syncRequest("RECV", path)));
        EXPECT_EQ(session.failText(), text) << path;
        // After a FAIL the phone ends the service.
        session.stream->readToEnd(std::chrono::seconds(5));
        EXPECT_TRUE(session.stream->closedByPhone()) << path;
    }
}

TEST(PhoneSimSync, SendWritesTheFileMakesItsFoldersAndSetsItsTime) {
    Phone phone;
    for (qsizetype size : {0, 1, 65536, 65537, 2 * 1024 * 1024 + 1}) {
        const QByteArray content = pattern(size);
        SyncSession session(phone.sim.port());
        std::string wire = syncRequest("SEND", "/sdcard/new/deep/f.bin,33188");
        for (qsizetype at = 0; at < size; at += 65536)
            wire += syncData(content.mid(at, 65536).toStdString());
        wire += syncDone(1500000000);
        // In pieces of a server-like size.
        for (size_t at = 0; at < wire.size(); at += 256 * 1024) ASSERT_TRUE(session.stream->write(wire.substr(at, 256 * 1024)));
        std::string reply;
        ASSERT_TRUE(session.stream->read(8, &reply));
        EXPECT_EQ(reply, "OKAY" + std::string(4, '\0')) << size;
        EXPECT_TRUE(readFile(phone.file("new/deep/f.bin")) == content) << size;
        EXPECT_EQ(QFileInfo(phone.file("new/deep/f.bin")).lastModified().toSecsSinceEpoch(), 1500000000);
    }
    // The path ends at the last comma.
    SyncSession session(phone.sim.port());
    ASSERT_TRUE(session.stream->write(syncRequest("SEND", "/sdcard/a,b.txt,0644") + syncData("hi") + syncDone(1)));
    std::string reply;
    ASSERT_TRUE(session.stream->read(8, &reply));
    EXPECT_EQ(reply.substr(0, 4), "OKAY");
    EXPECT_EQ(readFile(phone.file("a,b.txt")), "hi");
    // Replacing a file.
    ASSERT_TRUE(session.stream->write(syncRequest("SEND", "/sdcard/a,b.txt,0644") + syncData("x") + syncDone(1)));
    ASSERT_TRUE(session.stream->read(8, &reply));
    EXPECT_EQ(readFile(phone.file("a,b.txt")), "x");
}

TEST(PhoneSimSync, SendFailuresLeaveNothingBehind) {
    Phone phone({"--readonly", "Android/data/other.app"});
    QDir().mkpath(phone.file("Android/data/other.app"));
    QDir().mkpath(phone.file("dir"));
    writeFile(phone.file("plain"), "p");
    struct Case {
        std::string path;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"/sdcard/Android/data/other.app/x.bin", "couldn't create file: Permission denied"},
        {"/sdcard/Android/data/other.app/sub/x.bin", "couldn't create file: Permission denied"},
        {"/sdcard/dir", "couldn't create file: Is a directory"},
        {"/sdcard/plain/x.bin", "couldn't create file: Not a directory"},
        {"/sdcard/plain/deeper/x.bin", "couldn't create file: Not a directory"},
        {"/system/x.bin", "couldn't create file: Read-only file system"},
        {"/sdcard/../../tmp/x.bin", "couldn't create file: Read-only file system"},
        {"/data/local/tmp/x.bin", "couldn't create file: Permission denied"},
    };
    for (const auto &c : cases) {
        SyncSession session(phone.sim.port());
        ASSERT_TRUE(session.stream->write(syncRequest("SEND", c.path + ",33188") + syncData(std::string(1000, 'z')) +
                                          syncData("more") + syncDone(7)));
        EXPECT_EQ(session.failText(), c.text) << c.path;
        session.stream->readToEnd(std::chrono::seconds(5));
        EXPECT_TRUE(session.stream->closedByPhone()) << c.path;
    }
    EXPECT_TRUE(QDir(phone.file("Android/data/other.app")).isEmpty());
    EXPECT_TRUE(QFileInfo(phone.file("dir")).isDir());
    EXPECT_EQ(QDir(phone.outer.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList{"served"});

    // A broken stream of DATA removes the partial file.
    SyncSession session(phone.sim.port());
    ASSERT_TRUE(session.stream->write(syncRequest("SEND", "/sdcard/partial.bin,33188") + syncData("begun") +
                                      "DATA" + std::string("\x01\x00\x02\x00", 4)));
    EXPECT_EQ(session.failText(), "oversize data message");
    session.stream->readToEnd(std::chrono::seconds(5));
    EXPECT_FALSE(QFileInfo::exists(phone.file("partial.bin")));
    SyncSession other(phone.sim.port());
    ASSERT_TRUE(other.stream->write(syncRequest("SEND", "/sdcard/partial2.bin,33188") + syncData("begun") + "JUNK" +
                                    std::string(4, '\0')));
    EXPECT_EQ(other.failText(), "invalid data message");
    EXPECT_FALSE(QFileInfo::exists(phone.file("partial2.bin")));
    // And so does a host that goes away in the middle.
    {
        SyncSession gone(phone.sim.port());
        ASSERT_TRUE(gone.stream->write(syncRequest("SEND", "/sdcard/partial3.bin,33188") + syncData("begun")));
        gone.stream->close();
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (QFileInfo::exists(phone.file("partial3.bin")) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(QFileInfo::exists(phone.file("partial3.bin")));
}

TEST(PhoneSimSync, UnknownIdsLongPathsAndQuitEndTheService) {
    Phone phone;
    {
        SyncSession session(phone.sim.port());
        ASSERT_TRUE(session.stream->write(syncRequest("XYZW", "/sdcard")));
        EXPECT_EQ(session.failText(), "unknown command 575a5958");
        session.stream->readToEnd(std::chrono::seconds(5));
        EXPECT_TRUE(session.stream->closedByPhone());
    }
    {
        SyncSession session(phone.sim.port());
        ASSERT_TRUE(session.stream->write(syncRequest("STAT", "/sdcard/" + std::string(1017, 'a'))));
        EXPECT_EQ(session.failText(), "path too long");
    }
    {
        SyncSession session(phone.sim.port()); // exactly 1024 bytes is fine
        EXPECT_EQ(session.request("STAT", "/sdcard/" + std::string(1016, 'a'), 16), "STAT" + std::string(12, '\0'));
    }
    {
        SyncSession session(phone.sim.port());
        ASSERT_TRUE(session.stream->write(syncRequest("QUIT", "")));
        EXPECT_EQ(session.stream->readToEnd(std::chrono::seconds(5)), "");
        EXPECT_TRUE(session.stream->closedByPhone());
    }
}

TEST(PhoneSimSync, SizesWrapAt4GiBAsOnAPhone) {
    Phone phone;
    const QByteArray path = phone.file("huge.bin").toLocal8Bit();
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, (off_t(1) << 32) + 5), 0); // sparse: costs no disk
    ::close(fd);
    SyncSession session(phone.sim.port());
    EXPECT_EQ(le32(session.request("STAT", "/sdcard/huge.bin", 16), 8), 5u);
    const auto entries = list(session, "/sdcard");
    ASSERT_TRUE(named(entries, "huge.bin"));
    EXPECT_EQ(named(entries, "huge.bin")->size, 5u);
}

TEST(PhoneSimSync, LinksInTheFolderLeadNowhereOutsideIt) {
    Phone phone;
    writeFile(phone.outer.file("secret.txt"), "secret");
    QDir().mkpath(phone.outer.file("elsewhere"));
    ASSERT_EQ(::symlink(phone.outer.file("secret.txt").toLocal8Bit().constData(), phone.file("link.txt").toLocal8Bit().constData()), 0);
    ASSERT_EQ(::symlink(phone.outer.file("elsewhere").toLocal8Bit().constData(), phone.file("away").toLocal8Bit().constData()), 0);
    {
        SyncSession session(phone.sim.port());
        ASSERT_TRUE(session.stream->write(syncRequest("RECV", "/sdcard/link.txt")));
        EXPECT_EQ(session.failText(), "open failed: Permission denied");
    }
    SyncSession session(phone.sim.port());
    EXPECT_TRUE(list(session, "/sdcard/away").empty());
    EXPECT_EQ(session.request("STAT", "/sdcard/away/x", 16), "STAT" + std::string(12, '\0'));
    ASSERT_TRUE(session.stream->write(syncRequest("SEND", "/sdcard/away/x.txt,33188") + syncData("no") + syncDone(1)));
    EXPECT_EQ(session.failText(), "couldn't create file: Permission denied");
    EXPECT_TRUE(QDir(phone.outer.file("elsewhere")).isEmpty());
}
