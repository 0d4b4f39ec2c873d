// The file behaviour users see: an emulated phone mounted for real by the
// VaneFileProvider program through the real adb server, driven with the file
// tools a user runs. Every change is checked in the phone's own folder.
#include "tests/extension/provider/mounted_phone.h"
#include "tests/extension/provider/scoped_temporary_folder.h"
#include "tests/extension/provider/fuse_availability.h"
#include "tests/support/adb_server.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QDateTime>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <future>
#include <set>
#include <linux/fs.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

using testsupport::sha256OfFile;
using testsupport::writePatternFile;

namespace {

void setModified(const QString &path, time_t seconds) {
    const struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.toLocal8Bit().constData(), times, AT_SYMLINK_NOFOLLOW), 0);
}

// One line of `ls -la --time-style=+%s`.
struct ListedEntry {
    QString permissions;
    qint64 size = -1;
    qint64 modified = -1;
    QString name;
};

QMap<QString, ListedEntry> longListing(const QString &folder) {
    const ProgramRun ls = runProgram("ls", {"-la", "--time-style=+%s", folder});
    EXPECT_EQ(ls.exitCode, 0) << qPrintable(ls.errors);
    static const QRegularExpression line(R"(^(\S+)\s+\d+\s+\S+\s+\S+\s+(\d+)\s+(-?\d+)\s(.*)$)");
    QMap<QString, ListedEntry> entries;
    for (const QString &text : ls.output.split('\n', Qt::SkipEmptyParts)) {
        const auto match = line.match(text);
        if (!match.hasMatch()) continue;   // the "total" line
        entries.insert(match.captured(4), {match.captured(1), match.captured(2).toLongLong(), match.captured(3).toLongLong(), match.captured(4)});
    }
    return entries;
}

QByteArray hashOfOpenFile(const QString &path) {
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDONLY);
    if (fd < 0) return "open failed: " + QByteArray::number(errno);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    QByteArray buffer(1 << 16, '\0');
    for (ssize_t count; (count = ::read(fd, buffer.data(), buffer.size())) > 0;) hash.addData(QByteArrayView(buffer.constData(), count));
    ::close(fd);
    return hash.result().toHex();
}

// Writes `mebibytes` MiB in order, each a letter of its own so a misplaced
// piece shows; returns what was written.
QByteArray writeLettersInOrder(int fd, int mebibytes, char first) {
    QByteArray written;
    for (int index = 0; index < mebibytes; ++index) {
        const QByteArray piece(1 << 20, char(first + index % 26));
        if (::write(fd, piece.constData(), size_t(piece.size())) != piece.size()) return "write failed: " + QByteArray::number(errno);
        written += piece;
    }
    return written;
}

int errnoOfStat(const QString &path) {
    struct stat attributes{};
    return ::stat(path.toLocal8Bit().constData(), &attributes) == 0 ? 0 : errno;
}

QByteArray contentsOf(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return "<cannot open>";
    return file.readAll();
}

void writeFile(const QString &path, const QByteArray &bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// A shell line whose paths come in as "$1", "$2": no quoting in the test.
ProgramRun shell(const QString &script, const QStringList &paths = {}) {
    return runProgram("sh", QStringList{"-c", script, "sh"} + paths);
}

int errnoOf(int result) { return result < 0 ? errno : 0; }

int renameWithFlags(const QString &from, const QString &to, unsigned int flags) {
    return static_cast<int>(::syscall(SYS_renameat2, AT_FDCWD, from.toLocal8Bit().constData(), AT_FDCWD,
                                      to.toLocal8Bit().constData(), flags));
}

// Names (relative, "/" for folders at the end) of everything below a folder.
QStringList treeOf(const QString &folder) {
    QStringList names;
    QDir base(folder);
    const auto walk = [&](const auto &self, const QString &current) -> void {
        for (const QFileInfo &entry : QDir(current).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name)) {
            names.append(base.relativeFilePath(entry.filePath()) + (entry.isDir() ? "/" : ""));
            if (entry.isDir()) self(self, entry.filePath());
        }
    };
    walk(walk, folder);
    return names;
}

// One phone, mounted once, for the cases that do not disturb it.
class MountTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        if (fuseUnusableReason()) return;
        phone = new MountedPhone();
    }
    static void TearDownTestSuite() {
        delete phone;
        phone = nullptr;
    }
    void SetUp() override { SKIP_WITHOUT_FUSE(); }
    void TearDown() override {
        if (!phone) return;
        // Every handle closed: no downloaded copy may stay behind.
        for (int attempt = 0; attempt < 100 && !phone->downloadedCopies().isEmpty(); ++attempt)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_EQ(phone->downloadedCopies(), QStringList{});
    }

    static MountedPhone *phone;
    testsupport::TempFolder local;
};

MountedPhone *MountTest::phone = nullptr;

TEST_F(MountTest, LongListingsShowThePhonesNamesSizesKindsAndTimes) {
    writePatternFile(phone->phoneFile("DCIM/Camera/a.jpg"), 65537);
    writePatternFile(phone->phoneFile("DCIM/Camera/b.png"), 12);
    writePatternFile(phone->phoneFile("empty.txt"), 0);
    QDir(phone->phoneFolder()).mkpath("Music/Albums");
    setModified(phone->phoneFile("DCIM/Camera/a.jpg"), 1600000000);
    setModified(phone->phoneFile("empty.txt"), 1500000000);
    setModified(phone->phoneFile("Music"), 1400000000);

    const auto root = longListing(phone->mounted());
    ASSERT_TRUE(root.contains("empty.txt") && root.contains("Music") && root.contains("DCIM")) << qPrintable(QStringList(root.keys()).join(','));
    EXPECT_EQ(root["empty.txt"].permissions, "-rw-r--r--");
    EXPECT_EQ(root["empty.txt"].size, 0);
    EXPECT_EQ(root["empty.txt"].modified, 1500000000);
    EXPECT_EQ(root["Music"].permissions, "drwxr-xr-x");
    EXPECT_EQ(root["Music"].modified, 1400000000);

    const auto camera = longListing(phone->mounted("DCIM/Camera"));
    EXPECT_EQ(QStringList(camera.keys()), (QStringList{".", "..", "a.jpg", "b.png"}));
    EXPECT_EQ(camera["a.jpg"].size, 65537);
    EXPECT_EQ(camera["a.jpg"].modified, 1600000000);
    EXPECT_EQ(camera["b.png"].permissions, "-rw-r--r--");
    EXPECT_EQ(longListing(phone->mounted("Music")).keys(), (QList<QString>{".", "..", "Albums"}));

    EXPECT_EQ(errnoOfStat(phone->mounted("not-on-the-phone")), ENOENT);
    EXPECT_EQ(errnoOfStat(phone->mounted("no/such/folder/file.txt")), ENOENT);
    const ProgramRun stat = runProgram("stat", {phone->mounted("nothing.txt")});
    EXPECT_NE(stat.exitCode, 0);
    EXPECT_TRUE(stat.errors.contains("No such file or directory")) << qPrintable(stat.errors);
}

TEST_F(MountTest, CatAndCpGiveTheSameBytesAndDfThePhonesSpace) {
    for (const qint64 size : {qint64(0), qint64(65537), qint64(20) * 1000 * 1000}) {
        const QString name = QString("sized-%1.bin").arg(size);
        const QString expected = writePatternFile(phone->phoneFile(name), size, quint32(size));
        ASSERT_EQ(runProgram("cp", {phone->mounted(name), local.file(name)}).exitCode, 0);
        EXPECT_EQ(sha256OfFile(local.file(name)), expected) << "cp of " << size << " bytes";
        QProcess cat;
        cat.setStandardOutputFile(local.file(name + ".cat"));
        cat.start("cat", {phone->mounted(name)});
        ASSERT_TRUE(cat.waitForFinished(120000));
        EXPECT_EQ(cat.exitCode(), 0);
        EXPECT_EQ(sha256OfFile(local.file(name + ".cat")), expected) << "cat of " << size << " bytes";
        if (size == 0) continue;
        // Mapped shared, as Qt's QFile::map does: the same bytes.
        const int fd = ::open(phone->mounted(name).toLocal8Bit().constData(), O_RDONLY);
        void *mapped = ::mmap(nullptr, size_t(size), PROT_READ, MAP_SHARED, fd, 0);
        ASSERT_NE(mapped, MAP_FAILED) << "mmap of " << size << " bytes: " << std::strerror(errno);
        EXPECT_EQ(QCryptographicHash::hash(QByteArrayView(static_cast<const char *>(mapped), size), QCryptographicHash::Sha256).toHex(),
                  expected.toLatin1());
        ::munmap(mapped, size_t(size));
        ::close(fd);
    }

    const ProgramRun df = runProgram("df", {"-k", "--output=size,avail", phone->mounted()});
    ASSERT_EQ(df.exitCode, 0) << qPrintable(df.errors);
    const QStringList figures = df.output.split('\n', Qt::SkipEmptyParts).value(1).split(' ', Qt::SkipEmptyParts);
    ASSERT_EQ(figures.size(), 2) << qPrintable(df.output);
    EXPECT_GT(figures[0].toLongLong(), 0);
    EXPECT_GT(figures[1].toLongLong(), 0);
    EXPECT_LE(figures[1].toLongLong(), figures[0].toLongLong());
}

TEST_F(MountTest, AFileWrittenThroughASharedMappingArrivesWhole) {
    const QString odd = writePatternFile(local.file("odd.bin"), 65537, 7);
    QDir().mkpath(phone->phoneFile("In"));
    // As some programs save.
    const QByteArray bytes = contentsOf(local.file("odd.bin"));
    const int fd = ::open(phone->mounted("In/mapped.bin").toLocal8Bit().constData(), O_RDWR | O_CREAT | O_EXCL, 0644);
    ASSERT_GE(fd, 0) << std::strerror(errno);
    ASSERT_EQ(::ftruncate(fd, bytes.size()), 0) << std::strerror(errno);
    void *mapped = ::mmap(nullptr, size_t(bytes.size()), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    ASSERT_NE(mapped, MAP_FAILED) << "mmap for writing: " << std::strerror(errno);
    std::memcpy(mapped, bytes.constData(), size_t(bytes.size()));
    ::munmap(mapped, size_t(bytes.size()));
    EXPECT_EQ(::close(fd), 0) << std::strerror(errno);
    EXPECT_EQ(sha256OfFile(phone->phoneFile("In/mapped.bin")), odd);
    // The mount kept nothing of them.
    EXPECT_TRUE(phone->downloadedCopies().isEmpty()) << qPrintable(phone->downloadedCopies().join(", "));
}

TEST_F(MountTest, AFolderTreeCopiedInArrivesWhole) {
    QMap<QString, QString> hashes;
    hashes["Trip/day 1/a.jpg"] = writePatternFile(local.file("Trip/day 1/a.jpg"), 300000, 1);
    hashes["Trip/day 1/b.jpg"] = writePatternFile(local.file("Trip/day 1/b.jpg"), 1, 2);
    hashes["Trip/day 2/deep/c.txt"] = writePatternFile(local.file("Trip/day 2/deep/c.txt"), 70000, 3);
    hashes["Trip/notes.txt"] = writePatternFile(local.file("Trip/notes.txt"), 0, 4);
    hashes["Trip/odd.bin"] = writePatternFile(local.file("Trip/odd.bin"), 65537, 7);
    // Large enough to stream while it is written.
    hashes["Trip/large.bin"] = writePatternFile(local.file("Trip/large.bin"), 50LL * 1024 * 1024, 9);
    QDir().mkpath(local.file("Trip/empty folder"));
    // Enough new names in one folder to be looked up in a burst.
    for (int index = 0; index < 40; ++index) writeFile(local.file(QString("Trip/many/%1.txt").arg(index)), QByteArray::number(index));
    const ProgramRun cp = runProgram("cp", {"-rp", local.file("Trip"), phone->mounted()});
    ASSERT_EQ(cp.exitCode, 0) << qPrintable(cp.errors + phone->log());
    EXPECT_EQ(treeOf(phone->phoneFile("Trip")), treeOf(local.file("Trip")));
    for (auto entry = hashes.cbegin(); entry != hashes.cend(); ++entry) {
        EXPECT_EQ(sha256OfFile(phone->phoneFile(entry.key())), entry.value()) << qPrintable(entry.key());
    }
    const ProgramRun diff = runProgram("diff", {"-r", local.file("Trip"), phone->mounted("Trip")});
    EXPECT_EQ(diff.exitCode, 0) << qPrintable(diff.output);
    EXPECT_EQ(QFileInfo(phone->mounted("Trip/large.bin")).size(), 50LL * 1024 * 1024);

    // A name the phone made itself is seen once the burst's listing is a second old.
    writeFile(phone->phoneFile("Trip/many/late.txt"), "late");
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    EXPECT_EQ(contentsOf(phone->mounted("Trip/many/late.txt")), "late");
}

TEST_F(MountTest, WhatChangedOnThePhoneRightAfterTheMountLookedIsSeenAsItIsNow) {
    writeFile(phone->phoneFile("Live/grows.txt"), QByteArray(1000, 'a'));
    writeFile(phone->phoneFile("Live/outgrows.bin"), QByteArray(1000, 'b'));
    writeFile(phone->phoneFile("Live/shrinks.txt"), QByteArray(3000, 'c'));
    // The listing the opens below may take the files' descriptions from.
    longListing(phone->mounted("Live"));
    writeFile(phone->phoneFile("Live/grows.txt"), QByteArray(3000, 'A'));
    const QString outgrown = writePatternFile(phone->phoneFile("Live/outgrows.bin"), 200000, 5);
    writeFile(phone->phoneFile("Live/shrinks.txt"), QByteArray(1000, 'C'));
    EXPECT_EQ(contentsOf(phone->mounted("Live/grows.txt")), QByteArray(3000, 'A'));
    EXPECT_EQ(sha256OfFile(phone->mounted("Live/outgrows.bin")), outgrown);
    EXPECT_EQ(contentsOf(phone->mounted("Live/shrinks.txt")), QByteArray(1000, 'C'));

    // Gone from the phone while the kernel still holds the name: a save
    // makes it anew, a read finds it missing.
    writeFile(phone->mounted("Live/saved.txt"), "first");
    writeFile(phone->mounted("Live/read.txt"), "read");
    ASSERT_EQ(contentsOf(phone->mounted("Live/read.txt")), "read");
    QFile::remove(phone->phoneFile("Live/saved.txt"));
    QFile::remove(phone->phoneFile("Live/read.txt"));
    writeFile(phone->mounted("Live/saved.txt"), "second");
    EXPECT_EQ(contentsOf(phone->phoneFile("Live/saved.txt")), "second");
    EXPECT_EQ(errnoOf(::open(phone->mounted("Live/read.txt").toLocal8Bit().constData(), O_RDONLY)), ENOENT);

    // Names missed during a copy into the top folder never make the top itself missing.
    std::this_thread::sleep_for(std::chrono::milliseconds(2100));
    writeFile(phone->mounted("top-1.txt"), "1");
    for (int index = 0; index < 3; ++index) EXPECT_EQ(errnoOfStat(phone->mounted(QString("missing-%1").arg(index))), ENOENT);
    writeFile(phone->mounted("top-2.txt"), "2");
    EXPECT_EQ(errnoOfStat(phone->mounted()), 0);
}

TEST_F(MountTest, FoldersAreMadeAndRemovedAsPosixSays) {
    ASSERT_EQ(runProgram("mkdir", {"-p", phone->mounted("Made/one/two/three")}).exitCode, 0) << qPrintable(phone->log());
    EXPECT_TRUE(QFileInfo(phone->phoneFile("Made/one/two/three")).isDir());
    EXPECT_EQ(errnoOf(::mkdir(phone->mounted("Made/one").toLocal8Bit().constData(), 0755)), EEXIST);

    // An empty folder goes; one with something in it stays, whole.
    EXPECT_EQ(runProgram("rmdir", {phone->mounted("Made/one/two/three")}).exitCode, 0);
    EXPECT_FALSE(QFileInfo::exists(phone->phoneFile("Made/one/two/three")));
    writeFile(phone->phoneFile("Made/one/two/keep.txt"), "keep me");
    const ProgramRun refused = runProgram("rmdir", {phone->mounted("Made/one/two")});
    EXPECT_NE(refused.exitCode, 0);
    EXPECT_TRUE(refused.errors.contains("not empty")) << qPrintable(refused.errors);
    EXPECT_EQ(contentsOf(phone->phoneFile("Made/one/two/keep.txt")), "keep me");
    EXPECT_EQ(errnoOf(::rmdir(phone->mounted("Made/one/two/keep.txt").toLocal8Bit().constData())), ENOTDIR);
    EXPECT_EQ(errnoOf(::unlink(phone->mounted("Made/one/two").toLocal8Bit().constData())), EISDIR);

    writeFile(phone->phoneFile("Made/single.txt"), "x");
    EXPECT_EQ(runProgram("rm", {phone->mounted("Made/single.txt")}).exitCode, 0);
    EXPECT_FALSE(QFileInfo::exists(phone->phoneFile("Made/single.txt")));
    EXPECT_EQ(runProgram("rm", {"-r", phone->mounted("Made")}).exitCode, 0) << qPrintable(phone->log());
    EXPECT_FALSE(QFileInfo::exists(phone->phoneFile("Made")));
    EXPECT_FALSE(QFileInfo::exists(phone->mounted("Made")));

    // No trash on the phone: a file manager's move to the trash fails and
    // leaves the file, so that it offers to delete for good instead.
    EXPECT_EQ(errnoOf(::mkdir(phone->mounted(".Trash-1000").toLocal8Bit().constData(), 0700)), EPERM);
    EXPECT_EQ(errnoOf(::mkdir(phone->mounted(".Trash").toLocal8Bit().constData(), 0700)), EPERM);
    ASSERT_EQ(runProgram("mkdir", {"-p", phone->mounted("Trashed/.Trash-1000")}).exitCode, 0);
    writeFile(phone->mounted("Trashed/.Trash-1000/kept.txt"), "kept");
    if (!QStandardPaths::findExecutable("gio").isEmpty()) {
        EXPECT_NE(runProgram("gio", {"trash", phone->mounted("Trashed/.Trash-1000/kept.txt")}).exitCode, 0);
    }
    EXPECT_EQ(contentsOf(phone->phoneFile("Trashed/.Trash-1000/kept.txt")), "kept");
    EXPECT_FALSE(QFileInfo::exists(phone->phoneFile(QString(".Trash-%1").arg(::getuid()))));
}

TEST_F(MountTest, MovesRenameReplaceFilesAndNeverMoveIntoAFolder) {
    writeFile(phone->phoneFile("Moves/a.txt"), "first");
    writeFile(phone->phoneFile("Moves/b.txt"), "second");
    QDir().mkpath(phone->phoneFile("Moves/Docs"));

    ASSERT_EQ(runProgram("mv", {phone->mounted("Moves/a.txt"), phone->mounted("Moves/renamed.txt")}).exitCode, 0);
    EXPECT_EQ(contentsOf(phone->phoneFile("Moves/renamed.txt")), "first");
    EXPECT_FALSE(QFileInfo::exists(phone->phoneFile("Moves/a.txt")));

    ASSERT_EQ(runProgram("mv", {phone->mounted("Moves/renamed.txt"), phone->mounted("Moves/Docs/")}).exitCode, 0);
    EXPECT_EQ(contentsOf(phone->phoneFile("Moves/Docs/renamed.txt")), "first");

    // Over an existing file: it is replaced.
    ASSERT_EQ(runProgram("mv", {phone->mounted("Moves/b.txt"), phone->mounted("Moves/Docs/renamed.txt")}).exitCode, 0);
    EXPECT_EQ(contentsOf(phone->phoneFile("Moves/Docs/renamed.txt")), "second");
    EXPECT_FALSE(QFileInfo::exists(phone->phoneFile("Moves/b.txt")));

    // Onto an existing folder: an empty one is replaced, a full one refuses.
    QDir().mkpath(phone->phoneFile("Moves/Empty"));
    QDir().mkpath(phone->phoneFile("Moves/Full"));
    writeFile(phone->phoneFile("Moves/Full/inside.txt"), "inside");
    EXPECT_EQ(errnoOf(::rename(phone->mounted("Moves/Docs").toLocal8Bit().constData(),
                               phone->mounted("Moves/Full").toLocal8Bit().constData())), ENOTEMPTY);
    EXPECT_EQ(treeOf(phone->phoneFile("Moves")), QStringList({"Docs/", "Docs/renamed.txt", "Empty/", "Full/", "Full/inside.txt"}));
    EXPECT_EQ(errnoOf(::rename(phone->mounted("Moves/Docs").toLocal8Bit().constData(),
                               phone->mounted("Moves/Empty").toLocal8Bit().constData())), 0) << qPrintable(phone->log());
    EXPECT_EQ(treeOf(phone->phoneFile("Moves")), QStringList({"Empty/", "Empty/renamed.txt", "Full/", "Full/inside.txt"}));
    EXPECT_EQ(errnoOf(::rename(phone->mounted("Moves/Empty/renamed.txt").toLocal8Bit().constData(),
                               phone->mounted("Moves/Full").toLocal8Bit().constData())), EISDIR);
    EXPECT_EQ(errnoOf(::rename(phone->mounted("Moves/Full").toLocal8Bit().constData(),
                               phone->mounted("Moves/Empty/renamed.txt").toLocal8Bit().constData())), ENOTDIR);
    EXPECT_EQ(errnoOf(::rename(phone->mounted("Moves/Full").toLocal8Bit().constData(),
                               phone->mounted("Moves/Full/below").toLocal8Bit().constData())), EINVAL);

    // No replacing when asked not to; no swapping at all.
    EXPECT_EQ(errnoOf(renameWithFlags(phone->mounted("Moves/Full/inside.txt"), phone->mounted("Moves/Empty/renamed.txt"),
                                      RENAME_NOREPLACE)), EEXIST);
    EXPECT_EQ(errnoOf(renameWithFlags(phone->mounted("Moves/Full/inside.txt"), phone->mounted("Moves/Empty/renamed.txt"),
                                      RENAME_EXCHANGE)), EINVAL);
    EXPECT_EQ(errnoOf(renameWithFlags(phone->mounted("Moves/Full/inside.txt"), phone->mounted("Moves/Empty/new.txt"),
                                      RENAME_NOREPLACE)), 0);
    EXPECT_EQ(treeOf(phone->phoneFile("Moves")), QStringList({"Empty/", "Empty/new.txt", "Empty/renamed.txt", "Full/"}));
    EXPECT_EQ(contentsOf(phone->phoneFile("Moves/Empty/new.txt")), "inside");
}

TEST_F(MountTest, ASaveUnderAnotherNameMovedOverTheOriginalReplacesIt) {
    // Editors, GIO and KDE's .part files.
    for (const QString temporaryName : {"x.txt.tmp", ".goutputstream-Q1W2E3", "x.txt.part"}) {
        SCOPED_TRACE(qPrintable(temporaryName));
        writeFile(phone->phoneFile("Editor/x.txt"), "old version");
        const QString original = phone->mounted("Editor/x.txt");
        const QString temporary = phone->mounted("Editor/" + temporaryName);
        const int fd = ::open(temporary.toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, "new version", 11), 11);
        ASSERT_EQ(::fsync(fd), 0) << qPrintable(phone->log());
        ASSERT_EQ(::close(fd), 0);
        ASSERT_EQ(::rename(temporary.toLocal8Bit().constData(), original.toLocal8Bit().constData()), 0) << qPrintable(phone->log());
        EXPECT_EQ(treeOf(phone->phoneFile("Editor")), QStringList({"x.txt"}));
        EXPECT_EQ(contentsOf(phone->phoneFile("Editor/x.txt")), "new version");
        EXPECT_EQ(contentsOf(original), "new version");
    }
}

TEST_F(MountTest, TimesSetThroughTheMountReachThePhoneToTheSecond) {
    const qint64 dated = QDateTime(QDate(2019, 5, 6), QTime(7, 8, 9)).toSecsSinceEpoch();
    const qint64 touched = QDateTime(QDate(2020, 1, 2), QTime(3, 4, 5)).toSecsSinceEpoch();
    writeFile(local.file("dated.txt"), "dated");
    const struct timespec times[2] = {{dated, 0}, {dated, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, local.file("dated.txt").toLocal8Bit().constData(), times, 0), 0);
    writeFile(phone->phoneFile("Times/old.txt"), "old");
    const bool haveGio = !QStandardPaths::findExecutable("gio").isEmpty();
    struct Case {
        QString name;
        QString program;
        QStringList arguments;
        qint64 expected;
    } cases[] = {
        {"cp -p", "cp", {"-p", local.file("dated.txt"), phone->mounted("Times/cp.txt")}, dated},
        {"touch -d", "touch", {"-d", "2020-01-02 03:04:05", phone->mounted("Times/old.txt")}, touched},
        {"gio copy", "gio", {"copy", local.file("dated.txt"), phone->mounted("Times/gio.txt")}, dated},
        // Over a file that exists, the time rides the replacing upload.
        {"cp -p over", "cp", {"-p", local.file("dated.txt"), phone->mounted("Times/old.txt")}, dated},
    };
    for (const Case &each : cases) {
        SCOPED_TRACE(qPrintable(each.name));
        if (each.program == "gio" && !haveGio) continue; // GIO's tools are not installed here
        const ProgramRun run = runProgram(each.program, each.arguments);
        ASSERT_EQ(run.exitCode, 0) << qPrintable(run.errors + phone->log());
        const QString onPhone = phone->phoneFile("Times/" + QFileInfo(each.arguments.last()).fileName());
        EXPECT_EQ(QFileInfo(onPhone).lastModified().toSecsSinceEpoch(), each.expected);
    }
    EXPECT_EQ(treeOf(phone->phoneFile("Times")), haveGio ? QStringList({"cp.txt", "gio.txt", "old.txt"}) : QStringList({"cp.txt", "old.txt"}));
}

TEST_F(MountTest, ASequentialCopyInKeepsLittleOfItLocally) {
    // A sparse source reads fast; cp is told to write all of it all the same.
    QFile huge(local.file("huge.bin"));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly) && huge.resize(1LL << 30));
    QProcess cp;
    cp.start("cp", {"--sparse=never", local.file("huge.bin"), phone->mounted("huge.bin")});
    ASSERT_TRUE(cp.waitForStarted());
    qint64 most = 0;
    while (!cp.waitForFinished(20)) most = std::max(most, phone->localBytes());
    EXPECT_EQ(cp.exitCode(), 0) << cp.readAllStandardError().constData() << qPrintable(phone->log());
    EXPECT_LE(most, 64LL << 20);
    EXPECT_GT(most, 0) << "nothing was sampled";
    EXPECT_EQ(QFileInfo(phone->phoneFile("huge.bin")).size(), 1LL << 30);
    QFile::remove(phone->phoneFile("huge.bin"));

    // Going back after much was let go (a header written last): the file still ends up whole.
    const int fd = ::open(phone->mounted("headed.bin").toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    ASSERT_GE(fd, 0);
    QByteArray expected = writeLettersInOrder(fd, 80, 'A');
    ASSERT_EQ(expected.size(), 80 << 20) << expected.constData();
    ASSERT_EQ(::pwrite(fd, "HEADER", 6, 0), 6);
    ASSERT_EQ(::close(fd), 0) << qPrintable(phone->log());
    expected.replace(0, 6, "HEADER");
    EXPECT_TRUE(contentsOf(phone->phoneFile("headed.bin")) == expected);
}

TEST_F(MountTest, AWriterThatGoesBackLeavesTheOriginalAsItWasUntilItCloses) {
    // Back to the start, as a muxer fixes its header: soon, and after the
    // local copy let go of the start.
    for (const int mebibytes : {2, 80}) {
        SCOPED_TRACE(mebibytes);
        const QString original = writePatternFile(phone->phoneFile("patched.bin"), 100000, 3);
        const int fd = ::open(phone->mounted("patched.bin").toLocal8Bit().constData(), O_WRONLY | O_TRUNC);
        ASSERT_GE(fd, 0) << std::strerror(errno);
        const QByteArray written = writeLettersInOrder(fd, mebibytes, 'a');
        ASSERT_EQ(written.size(), mebibytes << 20) << written.constData();
        ASSERT_EQ(::pwrite(fd, "HEAD", 4, 0), 4);
        EXPECT_EQ(sha256OfFile(phone->phoneFile("patched.bin")), original);
        ASSERT_EQ(::close(fd), 0) << qPrintable(phone->log());
        EXPECT_TRUE(contentsOf(phone->phoneFile("patched.bin")) == "HEAD" + written.mid(4));
        EXPECT_EQ(QDir(phone->phoneFile("")).entryList({".patched.bin.*"}, QDir::Files | QDir::Hidden), QStringList{});
    }
}

TEST_F(MountTest, AFileBeingWrittenIsSeenAsTheMountHoldsItAndReachesThePhoneOnClose) {
    QDir().mkpath(phone->phoneFile("Pending"));
    const QString path = phone->mounted("Pending/growing.txt");
    const int fd = ::open(path.toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    ASSERT_GE(fd, 0) << std::strerror(errno) << qPrintable(phone->log());
    ASSERT_EQ(::write(fd, "12345", 5), 5);
    struct stat attributes{};
    ASSERT_EQ(::stat(path.toLocal8Bit().constData(), &attributes), 0);
    EXPECT_TRUE(S_ISREG(attributes.st_mode));
    EXPECT_EQ(attributes.st_size, 5);
    EXPECT_EQ(QDir(phone->mounted("Pending")).entryList(QDir::Files), QStringList({"growing.txt"}));
    EXPECT_EQ(contentsOf(path), "12345");
    // Nothing reached the phone yet: one upload, on close.
    EXPECT_FALSE(QFileInfo::exists(phone->phoneFile("Pending/growing.txt")));
    ASSERT_EQ(::close(fd), 0);
    EXPECT_EQ(contentsOf(phone->phoneFile("Pending/growing.txt")), "12345");

    // Opened for reading only: never uploaded, so a phone-side change stays.
    const int reader = ::open(path.toLocal8Bit().constData(), O_RDONLY);
    ASSERT_GE(reader, 0);
    writeFile(phone->phoneFile("Pending/growing.txt"), "changed on the phone");
    ASSERT_EQ(::close(reader), 0);
    EXPECT_EQ(contentsOf(phone->phoneFile("Pending/growing.txt")), "changed on the phone");

    // Written out of order: what reaches the phone is the file as it ends up.
    const int patched = ::open(phone->mounted("Pending/patched.txt").toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    ASSERT_GE(patched, 0);
    ASSERT_EQ(::pwrite(patched, "hello world", 11, 0), 11);
    ASSERT_EQ(::pwrite(patched, "J", 1, 0), 1);
    ASSERT_EQ(::pwrite(patched, "!", 1, 11), 1);
    ASSERT_EQ(::close(patched), 0) << qPrintable(phone->log());
    EXPECT_EQ(contentsOf(phone->phoneFile("Pending/patched.txt")), "Jello world!");
    const int holes = ::open(phone->mounted("Pending/holes.bin").toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    ASSERT_GE(holes, 0);
    ASSERT_EQ(::pwrite(holes, "end", 3, 5), 3);
    ASSERT_EQ(::close(holes), 0);
    EXPECT_EQ(contentsOf(phone->phoneFile("Pending/holes.bin")), QByteArray("\0\0\0\0\0end", 8));
    ASSERT_EQ(::unlink(phone->mounted("Pending/patched.txt").toLocal8Bit().constData()), 0);
    ASSERT_EQ(::unlink(phone->mounted("Pending/holes.bin").toLocal8Bit().constData()), 0);

    // Made and deleted before it was ever closed: the phone never sees it.
    const int gone = ::open(phone->mounted("Pending/gone.txt").toLocal8Bit().constData(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(gone, 0);
    ASSERT_EQ(::write(gone, "x", 1), 1);
    ASSERT_EQ(::unlink(phone->mounted("Pending/gone.txt").toLocal8Bit().constData()), 0);
    ASSERT_EQ(::close(gone), 0);
    EXPECT_EQ(treeOf(phone->phoneFile("Pending")), QStringList({"growing.txt"}));

    // Two programs appending to one file at once: every line arrives, once.
    const ProgramRun appended = shell("for p in a b; do for i in $(seq 150); do echo $p$i >> \"$1\"; done & done; wait",
                                      {phone->mounted("Pending/log.txt")});
    ASSERT_EQ(appended.exitCode, 0) << qPrintable(appended.errors);
    QStringList lines = QString::fromUtf8(contentsOf(phone->phoneFile("Pending/log.txt"))).split('\n', Qt::SkipEmptyParts);
    lines.sort();
    QStringList expected;
    for (const char *writer : {"a", "b"})
        for (int index = 1; index <= 150; ++index) expected << writer + QString::number(index);
    expected.sort();
    EXPECT_EQ(lines, expected);
}

TEST_F(MountTest, NamesThatNeedQuotingOnThePhoneWork) {
    const QStringList names = {"Bob's notes.txt", "two  blanks .txt", "Grüße – ½ 日本.txt", "-leading dash", "it's a 'folder'"};
    for (const QString &name : names) {
        SCOPED_TRACE(qPrintable(name));
        ASSERT_EQ(shell("echo hello > \"$1\"", {phone->mounted(name)}).exitCode, 0) << qPrintable(phone->log());
        EXPECT_EQ(contentsOf(phone->phoneFile(name)), "hello\n");
        EXPECT_EQ(contentsOf(phone->mounted(name)), "hello\n");
        ASSERT_EQ(runProgram("mv", {"--", phone->mounted(name), phone->mounted(name + " moved")}).exitCode, 0);
        EXPECT_EQ(contentsOf(phone->phoneFile(name + " moved")), "hello\n");
        EXPECT_FALSE(QFileInfo::exists(phone->phoneFile(name)));
        ASSERT_EQ(runProgram("mkdir", {"--", phone->mounted(name + " dir")}).exitCode, 0);
        EXPECT_TRUE(QFileInfo(phone->phoneFile(name + " dir")).isDir());
        ASSERT_EQ(runProgram("rm", {"-r", "--", phone->mounted(name + " moved"), phone->mounted(name + " dir")}).exitCode, 0);
        EXPECT_FALSE(QFileInfo::exists(phone->phoneFile(name + " moved")));
        EXPECT_FALSE(QFileInfo::exists(phone->phoneFile(name + " dir")));
    }

    // Names that are not UTF-8 (Latin-1, made on the phone) keep their bytes.
    const std::string onPhone = phone->phoneFolder().toStdString() + '/', mounted = phone->mounted().toStdString() + '/';
    const std::string latin1 = "caf\xe9 \xff.txt", moved = "d\xe9plac\xe9", made = "n\xe9w";
    ASSERT_TRUE(std::ofstream(onPhone + latin1) << "latin");
    std::set<std::string> listed;
    for (const auto &entry : std::filesystem::directory_iterator(mounted)) listed.insert(entry.path().filename().string());
    EXPECT_TRUE(listed.count(latin1));
    std::string read;
    EXPECT_TRUE(std::getline(std::ifstream(mounted + latin1), read));
    EXPECT_EQ(read, "latin");
    EXPECT_EQ(::rename((mounted + latin1).c_str(), (mounted + moved).c_str()), 0) << std::strerror(errno);
    EXPECT_TRUE(std::filesystem::exists(onPhone + moved));
    ASSERT_TRUE(std::ofstream(mounted + made) << "made");
    EXPECT_TRUE(std::filesystem::exists(onPhone + made));
    EXPECT_EQ(::unlink((mounted + moved).c_str()), 0);
    EXPECT_EQ(::unlink((mounted + made).c_str()), 0);
    EXPECT_FALSE(std::filesystem::exists(onPhone + moved) || std::filesystem::exists(onPhone + made));
}

// A phone folder that refuses writes, as other apps' folders do, and an
// adb server that goes away in the middle of an upload.
class MountWriteFaultTest : public testing::Test {
protected:
    void SetUp() override {
        SKIP_WITHOUT_FUSE();
        testsupport::PhoneSimOptions options;
        options.readOnlyFolders = {"Android/data"};
        phone = std::make_unique<MountedPhone>(options);
    }
    void TearDown() override {
        // The server is back for whoever comes next, whatever happened here.
        testsupport::startAdbServer();
        phone.reset();
    }

    std::unique_ptr<MountedPhone> phone;
    testsupport::TempFolder local;
};

TEST_F(MountWriteFaultTest, AFolderThatRefusesWritesFailsTheChangeAndTheMountStaysUsable) {
    QDir().mkpath(phone->phoneFile("Android/data/com.other.app"));
    writeFile(phone->phoneFile("Android/data/com.other.app/theirs.txt"), "theirs");
    writeFile(local.file("mine.txt"), "mine");
    const ProgramRun cp = runProgram("cp", {local.file("mine.txt"), phone->mounted("Android/data/mine.txt")});
    EXPECT_NE(cp.exitCode, 0);
    EXPECT_TRUE(cp.errors.contains("Permission denied")) << qPrintable(cp.errors);
    EXPECT_NE(runProgram("mkdir", {phone->mounted("Android/data/new")}).exitCode, 0);
    EXPECT_NE(runProgram("rm", {"-r", phone->mounted("Android/data/com.other.app")}).exitCode, 0);
    EXPECT_NE(runProgram("mv", {phone->mounted("Android/data/com.other.app/theirs.txt"), phone->mounted("theirs.txt")}).exitCode, 0);
    EXPECT_NE(runProgram("mv", {local.file("mine.txt"), phone->mounted("Android/data/mine.txt")}).exitCode, 0);
    writeFile(phone->phoneFile("outside.txt"), "outside");
    EXPECT_NE(runProgram("mv", {phone->mounted("outside.txt"), phone->mounted("Android/data/outside.txt")}).exitCode, 0);
    EXPECT_EQ(treeOf(phone->phoneFile("Android")), QStringList({"data/", "data/com.other.app/", "data/com.other.app/theirs.txt"}));
    EXPECT_EQ(contentsOf(phone->phoneFile("outside.txt")), "outside");
    const ProgramRun touch = runProgram("touch", {"-d", "2020-01-02", phone->mounted("Android/data/com.other.app/theirs.txt")});
    EXPECT_TRUE(touch.errors.contains("Operation not permitted")) << qPrintable(touch.errors);

    ASSERT_EQ(runProgram("cp", {local.file("mine.txt"), phone->mounted("mine.txt")}).exitCode, 0) << qPrintable(phone->log());
    EXPECT_EQ(contentsOf(phone->phoneFile("mine.txt")), "mine");
    EXPECT_EQ(contentsOf(phone->mounted("Android/data/com.other.app/theirs.txt")), "theirs");
}

// Bytes the phone holds of uploads to `name` still under a hidden name.
qint64 hiddenUploadBytes(const QString &folder, const QString &name) {
    qint64 largest = 0;
    for (const QFileInfo &entry : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden))
        if (entry.fileName().startsWith('.' + name + ".dorvane-")) largest = std::max(largest, entry.size());
    return largest;
}

TEST_F(MountWriteFaultTest, AnUploadCutAnywhereLeavesTheOldFileOrTheWholeNewOneAndCloseSaysWhich) {
    constexpr qint64 mebibyte = 1 << 20;
    struct Case {
        const char *what;
        qint64 oldSize, newSize;   // no old size: a new file
        int moments;
        std::chrono::milliseconds timeStep;
    };
    // Inside the local window, past it, and a file the phone did not have.
    const Case cases[] = {{"overwrite in the window", 10 * mebibyte, 12 * mebibyte, 8, std::chrono::milliseconds(10)},
                          {"overwrite past the window", 10 * mebibyte, 80 * mebibyte, 8, std::chrono::milliseconds(70)},
                          {"new file", 0, 12 * mebibyte, 6, std::chrono::milliseconds(12)}};
    QMap<QString, int> outcomes;
    int file = 0;
    for (const bool killPhone : {false, true}) {
        for (const Case &sweep : cases) {
            for (int moment = 0; moment < sweep.moments; ++moment) {
                // Half the moments by time from the open, half by what the phone holds.
                const bool byTime = moment % 2 == 0;
                const QString name = QString("cut-%1.bin").arg(++file), onPhone = phone->phoneFile("Cut/" + name);
                SCOPED_TRACE(qPrintable(QString("%1, %2, moment %3 %4").arg(killPhone ? "phone killed" : "server killed", sweep.what)
                                            .arg(moment / 2).arg(byTime ? "by time" : "by bytes on the phone")));
                const QString oldHash = sweep.oldSize ? writePatternFile(onPhone, sweep.oldSize, 6) : QString("absent");
                const QString newHash = writePatternFile(local.file("new.bin"), sweep.newSize, 7);

                // Opened as cp and Python's open(..., 'wb') open it; written and closed on a thread of its own.
                const auto opened = std::chrono::steady_clock::now();
                const int fd = ::open(phone->mounted("Cut/" + name).toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
                ASSERT_GE(fd, 0) << std::strerror(errno);
                auto closed = std::async(std::launch::async, [fd, source = local.file("new.bin")] {
                    QFile from(source);
                    bool wrote = from.open(QIODevice::ReadOnly);
                    while (wrote && !from.atEnd()) {
                        const QByteArray piece = from.read(1 << 20);
                        wrote = ::write(fd, piece.constData(), size_t(piece.size())) == piece.size();
                    }
                    return ::close(fd) == 0 && wrote;
                });
                if (byTime) std::this_thread::sleep_until(opened + moment / 2 * sweep.timeStep);
                const qint64 wanted = sweep.newSize * (moment / 2 + 1) / 4;
                while (!byTime && hiddenUploadBytes(phone->phoneFile("Cut"), name) < wanted && std::chrono::steady_clock::now() < opened + std::chrono::seconds(20))
                    std::this_thread::sleep_for(std::chrono::microseconds(300));
                if (killPhone) ::kill(pid_t(phone->phonePid()), SIGKILL);
                else testsupport::runAdb({"kill-server"});
                const bool closeSucceeded = closed.get();
                if (killPhone) phone->restartPhone();
                else testsupport::startAdbServer();
                ASSERT_TRUE(testsupport::waitForListedState(phone->serial(), "device", std::chrono::seconds(30)));

                const QString held = QFileInfo::exists(onPhone) ? sha256OfFile(onPhone) : QString("absent");
                EXPECT_TRUE(held == newHash || held == oldHash) << "the phone holds " << QFileInfo(onPhone).size() << " bytes";
                EXPECT_TRUE(held == newHash || !closeSucceeded) << "close() said the upload was whole";
                outcomes[QString("%1 / close %2").arg(held == newHash ? "new" : held == oldHash ? "old" : "torn", closeSucceeded ? "succeeded" : "failed")]++;

                // The next change takes away what a cut upload left under a hidden name.
                bool changed = false;
                for (int attempt = 0; attempt < 50 && !changed; ++attempt) {
                    changed = runProgram("touch", {phone->mounted("Cut/next-change")}).exitCode == 0;
                    if (!changed) std::this_thread::sleep_for(std::chrono::milliseconds(100));
                }
                ASSERT_TRUE(changed) << qPrintable(phone->log());
                EXPECT_EQ(runProgram("rm", {phone->mounted("Cut/next-change")}).exitCode, 0);
                EXPECT_EQ(treeOf(phone->phoneFile("Cut")), QFileInfo::exists(onPhone) ? QStringList{name} : QStringList{});
                QFile::remove(onPhone);
            }
        }
    }
    for (auto outcome = outcomes.cbegin(); outcome != outcomes.cend(); ++outcome) std::printf("%s: %d\n", qPrintable(outcome.key()), outcome.value());
    // The early cuts, at least, came before anything could be moved into place.
    EXPECT_GT(outcomes.value("old / close failed"), 0);
}

// Each of the tests below mounts a phone of its own.
class OwnMountTest : public testing::Test {
protected:
    void SetUp() override { SKIP_WITHOUT_FUSE(); }
};

TEST_F(OwnMountTest, WithASmallTemporaryFolderCopiesInOrderWorkAndAFailedWriteKeepsTheOriginal) {
    constexpr qint64 mebibyte = 1 << 20;
    const SmallTemporaryFolder small(8 * mebibyte);
    if (!small.mounted()) GTEST_SKIP() << "a tmpfs cannot be mounted here (needs root)";
    MountedPhone phone({}, small.path());
    testsupport::TempFolder local;
    // In order, the bytes the phone has are let go as the folder fills.
    const QString newHash = writePatternFile(local.file("new.bin"), 20 * mebibyte, 8);
    writeFile(phone.phoneFile("Small/replaced.bin"), "old");
    ASSERT_EQ(runProgram("cp", {local.file("new.bin"), phone.mounted("Small/replaced.bin")}).exitCode, 0) << qPrintable(phone.log());
    EXPECT_EQ(sha256OfFile(phone.phoneFile("Small/replaced.bin")), newHash);

    // Back to front, the whole file must be held here and cannot be.
    writeFile(phone.phoneFile("Small/kept.txt"), "kept");
    const int fd = ::open(phone.mounted("Small/kept.txt").toLocal8Bit().constData(), O_WRONLY | O_TRUNC);
    ASSERT_GE(fd, 0) << std::strerror(errno);
    const QByteArray piece(mebibyte, 'n');
    int failure = 0;
    for (qint64 at = 19 * mebibyte; at >= 0 && failure == 0; at -= mebibyte)
        failure = errnoOf(int(::pwrite(fd, piece.constData(), size_t(piece.size()), at)));
    EXPECT_EQ(failure, ENOSPC);
    EXPECT_EQ(errnoOf(::close(fd)), ENOSPC);
    EXPECT_EQ(contentsOf(phone.phoneFile("Small/kept.txt")), "kept");
    EXPECT_EQ(treeOf(phone.phoneFile("Small")), QStringList({"kept.txt", "replaced.bin"}));
    // Saved again from the start, it goes up.
    writeFile(phone.mounted("Small/kept.txt"), "new");
    EXPECT_EQ(contentsOf(phone.phoneFile("Small/kept.txt")), "new");
    EXPECT_TRUE(phone.unmount()) << qPrintable(phone.log());
}

TEST_F(OwnMountTest, WithTheAdbServerGoneRequestsFailAndTheMountRecoversOnceItIsBack) {
    MountedPhone phone;
    const QString expected = writePatternFile(phone.phoneFile("kept.bin"), 1000);
    ASSERT_EQ(hashOfOpenFile(phone.mounted("kept.bin")), expected.toLatin1());

    ASSERT_EQ(testsupport::runAdb({"kill-server"}).exitCode, 0);
    const int lookup = errnoOfStat(phone.mounted("looked-up-while-down"));
    EXPECT_TRUE(lookup == ENOTCONN || lookup == EIO) << lookup;
    EXPECT_NE(runProgram("ls", {phone.mounted("never-listed")}).exitCode, 0);
    EXPECT_TRUE(phone.log().contains("Couldn't reach the adb server. Is the app running?")) << qPrintable(phone.log());

    testsupport::startAdbServer();
    ASSERT_TRUE(testsupport::waitForListedState(phone.serial(), "device", std::chrono::seconds(30)));
    EXPECT_EQ(hashOfOpenFile(phone.mounted("kept.bin")), expected.toLatin1());
    EXPECT_EQ(errnoOfStat(phone.mounted("looked-up-while-down")), ENOENT);
}

TEST_F(OwnMountTest, APhoneThatFallsSilentFailsRequestsWithinTheLimitAndIsServedOnceItAnswers) {
    qputenv("DORVANE_ADB_SILENCE_SECONDS", "2");
    MountedPhone phone;
    qunsetenv("DORVANE_ADB_SILENCE_SECONDS");
    const QString expected = writePatternFile(phone.phoneFile("Quiet/file.bin"), 300000, 9);
    // Stopped, it keeps its connections open and says nothing, as a Wi-Fi
    // phone that went out of reach does.
    ASSERT_EQ(::kill(pid_t(phone.phonePid()), SIGSTOP), 0);
    QProcess ls, cat;
    ls.start("ls", {phone.mounted("Quiet")});
    cat.start("cat", {phone.mounted("Quiet/file.bin")});
    const bool ended = ls.waitForFinished(20000) && cat.waitForFinished(20000);
    ::kill(pid_t(phone.phonePid()), SIGCONT);
    ASSERT_TRUE(ended) << "a request waited on the silent phone past the limit";
    EXPECT_NE(ls.exitCode(), 0);
    EXPECT_TRUE(ls.readAllStandardError().contains("timed out"));
    EXPECT_NE(cat.exitCode(), 0);
    EXPECT_EQ(hashOfOpenFile(phone.mounted("Quiet/file.bin")), expected.toLatin1()) << qPrintable(phone.log());
}

TEST_F(OwnMountTest, WhatAKilledProgramHeldLocallyGoesWhenTheNextOneStarts) {
    testsupport::TempFolder shared;
    MountedPhone killed({}, shared.path());
    writePatternFile(killed.phoneFile("held.bin"), 100000);
    const int fd = ::open(killed.mounted("held.bin").toLocal8Bit().constData(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, "x", 1, 50000), 1);
    ASSERT_EQ(::kill(pid_t(killed.providerPid()), SIGKILL), 0);
    ::close(fd);
    killed.unmount();
    const QStringList left = QDir(shared.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    ASSERT_EQ(left.size(), 1);

    MountedPhone alive({}, shared.path());
    EXPECT_FALSE(QFileInfo::exists(shared.file(left[0])));
    {
        // One that still runs keeps its folder.
        MountedPhone next({}, shared.path());
        EXPECT_EQ(QDir(shared.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 2);
        next.unmount();
    }
    EXPECT_TRUE(alive.unmount()) << qPrintable(alive.log());
}

TEST_F(OwnMountTest, StoppingEndsWhatWaitsOnASilentPhoneAtOnce) {
    for (const bool byUnmount : {true, false}) {
        SCOPED_TRACE(byUnmount ? "fusermount3" : "SIGTERM");
        MountedPhone phone;
        writePatternFile(phone.phoneFile("large.bin"), 16 << 20, 3);
        const int readFd = ::open(phone.mounted("large.bin").toLocal8Bit().constData(), O_RDONLY);
        const int writeFd = ::open(phone.mounted("upload.bin").toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(readFd, 0);
        ASSERT_GE(writeFd, 0);
        // Stopped, the phone holds its connections open and answers nothing.
        ASSERT_EQ(::kill(pid_t(phone.phonePid()), SIGSTOP), 0);
        auto reading = std::async(std::launch::async, [readFd] {
            std::vector<char> block(1 << 20);
            ssize_t got = 0;
            while ((got = ::read(readFd, block.data(), block.size())) > 0) {}
            ::close(readFd);
            return got;
        });
        auto writing = std::async(std::launch::async, [writeFd] {
            const std::vector<char> block(1 << 20, 'w');
            for (int i = 0; i < 16; ++i) {
                if (::write(writeFd, block.data(), block.size()) != ssize_t(block.size())) return -1;
            }
            return ::close(writeFd);
        });
        EXPECT_EQ(reading.wait_for(std::chrono::milliseconds(500)), std::future_status::timeout);
        EXPECT_EQ(writing.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout);

        if (byUnmount) {
            // As the app unmounts: plainly, and detached where files are still open.
            EXPECT_LT(runProgram("fusermount3", {"-u", phone.mounted()}, 10).exitCode, 128);
            if (isMountPoint(phone.mounted())) {
                EXPECT_EQ(runProgram("fusermount3", {"-u", "-z", phone.mounted()}, 10).exitCode, 0);
            }
        } else {
            ::kill(pid_t(phone.providerPid()), SIGTERM);
        }
        const bool ended = phone.waitForProgramEnd(std::chrono::seconds(2));
        ::kill(pid_t(phone.phonePid()), SIGCONT);
        EXPECT_TRUE(ended) << "the program waited on the silent phone, or failed:\n" << qPrintable(phone.log());
        EXPECT_FALSE(isMountPoint(phone.mounted()));
        EXPECT_LT(reading.get(), 0);
        EXPECT_LT(writing.get(), 0) << "an upload cut off was reported as done";
        EXPECT_TRUE(phone.unmount()) << qPrintable(phone.log());
    }
}

TEST(ProviderProgramTest, RefusesBadArgumentsAndMountpointsWithAClearMessage) {
    const QString program = DORVANE_BIN_DIR "/VaneFileProvider";
    ScopedTemporaryFolder temporaryFolder;
    const ProgramRun noArguments = runProgram(program, {});
    EXPECT_EQ(noArguments.exitCode, 2);
    EXPECT_TRUE(noArguments.errors.contains("usage: VaneFileProvider --domain IDENTIFIER --mountpoint DIR"));
    const ProgramRun unknown = runProgram(program, {"--domain", "x", "--mountpoint", "/tmp", "--bogus", "1"});
    EXPECT_EQ(unknown.exitCode, 2);

    testsupport::TempFolder folder;
    const ProgramRun missing = runProgram(program, {"--domain", "x", "--mountpoint", folder.file("not-there")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.errors.contains("cannot mount on " + folder.file("not-there") + ": No such file or directory"))
        << qPrintable(missing.errors);
    writePatternFile(folder.file("a-file"), 1);
    const ProgramRun notFolder = runProgram(program, {"--domain", "x", "--mountpoint", folder.file("a-file")});
    EXPECT_EQ(notFolder.exitCode, 1);
    EXPECT_TRUE(notFolder.errors.contains("not a folder")) << qPrintable(notFolder.errors);
    // Nothing of the program's is left in the temporary folder.
    EXPECT_EQ(QDir(temporaryFolder.path()).entryList({"VaneFileProvider-*"}, QDir::AllEntries), QStringList{});
}

} // namespace
