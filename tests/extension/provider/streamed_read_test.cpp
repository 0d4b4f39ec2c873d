// Reads of a mounted emulated phone while the file is still on its way:
// what crosses from the phone, what the provider holds locally, and that
// every byte read is the phone's.
#include "tests/extension/provider/mounted_phone.h"
#include "tests/extension/provider/fuse_availability.h"
#include "tests/support/adb_server.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fcntl.h>
#include <functional>
#include <random>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using testsupport::sha256OfFile;
using testsupport::writePatternFile;

namespace {

constexpr qint64 MiB = 1 << 20;

// Bytes the emulated phone has read from its files and sockets so far.
qint64 phoneBytesRead(const MountedPhone &phone) {
    QFile io(QString("/proc/%1/io").arg(phone.phonePid()));
    if (!io.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray &line : io.readAll().split('\n'))
        if (line.startsWith("rchar: ")) return line.mid(7).toLongLong();
    return -1;
}

// What the provider keeps in its temporary folder: files there, and files
// it holds open there after removing them.
qint64 heldInTemporaryFolder(const MountedPhone &phone) {
    qint64 held = 0;
    for (QDirIterator it(phone.temporaryFolder(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();) {
        struct stat attributes{};
        if (::lstat(QFile::encodeName(it.next()).constData(), &attributes) == 0) held += attributes.st_blocks * 512;
    }
    const QString descriptors = QString("/proc/%1/fd").arg(phone.providerPid());
    for (const QString &fd : QDir(descriptors).entryList(QDir::System | QDir::NoDotAndDotDot)) {
        const QString target = QFile::symLinkTarget(descriptors + '/' + fd);
        struct stat attributes{};
        if (target.startsWith(phone.temporaryFolder()) && target.endsWith(" (deleted)") &&
            ::stat(QFile::encodeName(descriptors + '/' + fd).constData(), &attributes) == 0)
            held += attributes.st_blocks * 512;
    }
    return held;
}

// Sparse, with a pattern at the start, at the end and every 64 MiB between.
void writeSparseFile(const QString &path, qint64 size) {
    QFile file(path);
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly) && file.resize(size));
    for (qint64 offset = 0; offset < size; offset += 64 * MiB) {
        for (const qint64 at : {offset, std::min(offset + 64 * MiB, size) - 8192}) {
            ASSERT_TRUE(file.seek(at));
            ASSERT_EQ(file.write(QByteArray(8192, char('a' + at % 23))), 8192);
        }
    }
}

QByteArray bytesOf(const QString &path, qint64 offset, qint64 length) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(offset)) return {};
    return file.read(length);
}

ProgramRun shellRun(const QString &command) { return runProgram("sh", {"-c", command}, 1200); }

struct Case {
    const char *name;
    // Mount with a temporary folder on a tmpfs of this many bytes (0: a folder of its own).
    qint64 tmpfsBytes;
    std::function<void(MountedPhone &)> run;
};

const Case cases[] = {
    {"HeadOfAGigabyteFileLeavesMostOfItOnThePhone", 0,
     [](MountedPhone &phone) {
         writeSparseFile(phone.phoneFile("video.mp4"), 1024 * MiB);
         const qint64 before = phoneBytesRead(phone);
         const ProgramRun head = shellRun("head -c 4096 '" + phone.mounted("video.mp4") + "' | od -An -c | head -1");
         ASSERT_EQ(head.exitCode, 0) << qPrintable(head.errors);
         EXPECT_TRUE(head.output.contains("a   a   a")) << qPrintable(head.output);
         EXPECT_LT(phoneBytesRead(phone) - before, 64 * MiB);
     }},
    {"TailOfAFileOverFourGibibytesIsRightWithoutItsWholeTransfer", 0,
     [](MountedPhone &phone) {
         const qint64 size = (4LL << 30) + MiB;
         writeSparseFile(phone.phoneFile("large.mkv"), size);
         const qint64 before = phoneBytesRead(phone);
         testsupport::TempFolder local;
         ASSERT_EQ(shellRun("tail -c 65536 '" + phone.mounted("large.mkv") + "' > '" + local.file("tail") + "'").exitCode, 0);
         EXPECT_EQ(bytesOf(local.file("tail"), 0, 65536), bytesOf(phone.phoneFile("large.mkv"), size - 65536, 65536));
         // tail reads 8 KiB at a time: one ranged read serves them all.
         EXPECT_LT(phoneBytesRead(phone) - before, 320 * 1024);
     }},
    {"RandomOrderReadsGiveThePhonesBytes", 0,
     [](MountedPhone &phone) {
         const qint64 size = 100'000'000;
         const QString expected = writePatternFile(phone.phoneFile("random.bin"), size, 7);
         // Pieces of odd sizes, in shuffled order, some reread.
         std::mt19937 random(14);
         std::vector<std::pair<qint64, qint64>> pieces;
         for (qint64 at = 0; at < size;) {
             const qint64 length = std::min<qint64>(size - at, 1 + random() % (3 * MiB));
             pieces.emplace_back(at, length);
             at += length;
         }
         std::shuffle(pieces.begin(), pieces.end(), random);
         pieces.insert(pieces.end(), pieces.begin(), pieces.begin() + 5);
         QByteArray assembled(size, '\0');
         const int fd = ::open(QFile::encodeName(phone.mounted("random.bin")).constData(), O_RDONLY);
         ASSERT_GE(fd, 0);
         for (const auto &[at, length] : pieces)
             ASSERT_EQ(::pread(fd, assembled.data() + at, size_t(length), at), length) << "at " << at;
         ::close(fd);
         EXPECT_EQ(QCryptographicHash::hash(assembled, QCryptographicHash::Sha256).toHex(), expected.toLatin1());
     }},
    {"ACopyOutOfAGigabyteFileHoldsLittleLocally", 0,
     [](MountedPhone &phone) {
         writeSparseFile(phone.phoneFile("big.bin"), 1024 * MiB);
         testsupport::TempFolder local;
         std::atomic<bool> copying{true};
         qint64 mostHeld = 0;
         std::thread sampler([&] {
             while (copying) {
                 mostHeld = std::max(mostHeld, heldInTemporaryFolder(phone));
                 std::this_thread::sleep_for(std::chrono::milliseconds(20));
             }
         });
         const ProgramRun cp = runProgram("cp", {phone.mounted("big.bin"), local.file("big.bin")}, 1200);
         copying = false;
         sampler.join();
         ASSERT_EQ(cp.exitCode, 0) << qPrintable(cp.errors);
         EXPECT_EQ(sha256OfFile(local.file("big.bin")), sha256OfFile(phone.phoneFile("big.bin")));
         EXPECT_LE(mostHeld, 64 * MiB);
     }},
    {"ADownloadCutByTheServersEndFailsAndLeavesNothing", 0,
     [](MountedPhone &phone) {
         writeSparseFile(phone.phoneFile("cut.bin"), 2048 * MiB);
         testsupport::TempFolder local;
         QProcess cp;
         cp.start("cp", {phone.mounted("cut.bin"), local.file("cut.bin")});
         for (int wait = 0; wait < 400 && QFileInfo(local.file("cut.bin")).size() < 8 * MiB; ++wait)
             std::this_thread::sleep_for(std::chrono::milliseconds(25));
         ASSERT_EQ(testsupport::runAdb({"kill-server"}).exitCode, 0);
         ASSERT_TRUE(cp.waitForFinished(120000));
         EXPECT_NE(cp.exitCode(), 0);
         EXPECT_LT(QFileInfo(local.file("cut.bin")).size(), 2048 * MiB);
         EXPECT_EQ(heldInTemporaryFolder(phone), 0);
         testsupport::startAdbServer();
         ASSERT_TRUE(testsupport::waitForListedState(phone.serial(), "device", std::chrono::seconds(30)));
     }},
    {"WithAFullSmallTemporaryFolderReadsWorkAndAreNeverShort", 8 * MiB,
     [](MountedPhone &phone) {
         const QString expected = writePatternFile(phone.phoneFile("twenty.bin"), 20'000'000, 3);
         writePatternFile(phone.phoneFile("small.txt"), 1000, 4);
         // Whatever the provider left room for, take it.
         QFile filler(phone.temporaryFolder() + "/filler");
         ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
         while (filler.write(QByteArray(MiB, 'f')) > 0 && filler.flush()) {
         }
         testsupport::TempFolder local;
         const ProgramRun cp = runProgram("cp", {phone.mounted("twenty.bin"), local.file("twenty.bin")});
         if (cp.exitCode == 0) EXPECT_EQ(sha256OfFile(local.file("twenty.bin")), expected);
         else EXPECT_TRUE(cp.errors.contains("No space left on device")) << qPrintable(cp.errors);
         EXPECT_EQ(runProgram("cp", {phone.mounted("small.txt"), local.file("small.txt")}).exitCode, 0);
         EXPECT_EQ(sha256OfFile(local.file("small.txt")), sha256OfFile(phone.phoneFile("small.txt")));
         filler.remove();
     }},
    {"EightParallelReadersOfLargeFilesGetTheirOwnBytes", 0,
     [](MountedPhone &phone) {
         QStringList expected;
         for (int index = 0; index < 8; ++index)
             expected.append(writePatternFile(phone.phoneFile(QString("parallel/%1.bin").arg(index)), 256 * MiB + index, index));
         testsupport::TempFolder local;
         std::vector<std::thread> readers;
         QStringList copied(8);
         for (int index = 0; index < 8; ++index) {
             readers.emplace_back([&, index] {
                 const QString name = QString("parallel/%1.bin").arg(index);
                 runProgram("cp", {phone.mounted(name), local.file(QString::number(index))}, 1200);
                 copied[index] = sha256OfFile(local.file(QString::number(index)));
             });
         }
         for (auto &reader : readers) reader.join();
         EXPECT_EQ(copied, expected);
     }},
};

class StreamedReadTest : public testing::TestWithParam<Case> {};

TEST_P(StreamedReadTest, Reads) {
    SKIP_WITHOUT_FUSE();
    std::unique_ptr<SmallTemporaryFolder> small;
    if (GetParam().tmpfsBytes > 0) {
        small = std::make_unique<SmallTemporaryFolder>(GetParam().tmpfsBytes);
        if (!small->mounted()) GTEST_SKIP() << "a tmpfs cannot be mounted here (needs root)";
    }
    MountedPhone phone({}, small ? small->path() : QString());
    GetParam().run(phone);
    EXPECT_TRUE(phone.unmount()) << qPrintable(phone.log());
}

INSTANTIATE_TEST_SUITE_P(Mounted, StreamedReadTest, testing::ValuesIn(cases),
                         [](const testing::TestParamInfo<Case> &info) { return std::string(info.param.name); });

} // namespace
