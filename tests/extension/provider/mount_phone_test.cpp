// An emulated phone mounted for real: the VaneFileProvider program, the real
// adb server and the file tools a user would run on the mount.
#include "tests/extension/provider/mounted_phone.h"
#include "tests/extension/provider/scoped_temporary_folder.h"
#include "tests/platform/fileprovider/host/fuse_availability.h"
#include "tests/support/adb_server.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
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

int errnoOfStat(const QString &path) {
    struct stat attributes{};
    return ::stat(path.toLocal8Bit().constData(), &attributes) == 0 ? 0 : errno;
}

class MountPhoneTest : public testing::Test {
protected:
    void SetUp() override {
        SKIP_WITHOUT_FUSE();
        if (!shared) shared = new MountedPhone;
        phone = shared;
    }
    static void TearDownTestSuite() {
        delete shared;
        shared = nullptr;
    }
    void TearDown() override {
        if (!phone) return;
        // Every handle closed: no downloaded copy may stay behind.
        for (int attempt = 0; attempt < 100 && !phone->downloadedCopies().isEmpty(); ++attempt)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_EQ(phone->downloadedCopies(), QStringList{});
    }

    MountedPhone *phone = nullptr;
    static MountedPhone *shared;
};

MountedPhone *MountPhoneTest::shared = nullptr;

TEST_F(MountPhoneTest, LongListingsShowThePhonesNamesSizesKindsAndTimes) {
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
}

TEST_F(MountPhoneTest, AMissingPathIsNoSuchFile) {
    EXPECT_EQ(errnoOfStat(phone->mounted("not-on-the-phone")), ENOENT);
    EXPECT_EQ(errnoOfStat(phone->mounted("no/such/folder/file.txt")), ENOENT);
    const ProgramRun stat = runProgram("stat", {phone->mounted("nothing.txt")});
    EXPECT_NE(stat.exitCode, 0);
    EXPECT_TRUE(stat.errors.contains("No such file or directory")) << qPrintable(stat.errors);
}

TEST_F(MountPhoneTest, CatAndCpGiveTheSameBytes) {
    testsupport::TempFolder local;
    for (const qint64 size : {qint64(0), qint64(65537), qint64(50) * 1000 * 1000}) {
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
    }
}

TEST_F(MountPhoneTest, NamesWithQuotesBlanksAccentsAndLeadingDashesWork) {
    const QStringList names{"Bob's notes.txt", "two  blanks and a tab\t.txt", "Grüße – ünïcødé 写真.txt", "-rf", "it's a folder"};
    QDir(phone->phoneFolder()).mkpath("odd/it's a folder");
    for (const QString &name : names.mid(0, 4)) writePatternFile(phone->phoneFile("odd/" + name), name.size() * 100, name.size());
    writePatternFile(phone->phoneFile("odd/it's a folder/inner file"), 5);

    QStringList listed = QDir(phone->mounted("odd")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    QStringList expected = names;
    listed.sort();
    expected.sort();
    EXPECT_EQ(listed, expected);
    testsupport::TempFolder local;
    for (const QString &name : names.mid(0, 4)) {
        const ProgramRun cp = runProgram("cp", {"--", phone->mounted("odd/" + name), local.file("copy")});
        EXPECT_EQ(cp.exitCode, 0) << qPrintable(name) << qPrintable(cp.errors);
        EXPECT_EQ(sha256OfFile(local.file("copy")), sha256OfFile(phone->phoneFile("odd/" + name))) << qPrintable(name);
    }
    EXPECT_EQ(hashOfOpenFile(phone->mounted("odd/it's a folder/inner file")), sha256OfFile(phone->phoneFile("odd/it's a folder/inner file")).toLatin1());
}

TEST_F(MountPhoneTest, AFolderOfTenThousandEntriesIsListedWhole) {
    QDir(phone->phoneFolder()).mkpath("many");
    for (int index = 0; index < 10000; ++index) {
        QFile file(phone->phoneFile(QString("many/entry-%1.txt").arg(index, 5, 10, QChar('0'))));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    const ProgramRun ls = runProgram("ls", {"-l", phone->mounted("many")});
    ASSERT_EQ(ls.exitCode, 0) << qPrintable(ls.errors);
    const QStringList lines = ls.output.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 10001);
    EXPECT_TRUE(lines[1].endsWith(" entry-00000.txt")) << qPrintable(lines[1]);
    EXPECT_TRUE(lines[10000].endsWith(" entry-09999.txt")) << qPrintable(lines[10000]);
    EXPECT_EQ(QDir(phone->mounted("many")).entryList(QDir::Files).size(), 10000);
}

TEST_F(MountPhoneTest, TheMountReportsThePhonesFreeAndTotalSpace) {
    const ProgramRun df = runProgram("df", {"-k", "--output=size,avail", phone->mounted()});
    ASSERT_EQ(df.exitCode, 0) << qPrintable(df.errors);
    const QStringList figures = df.output.split('\n', Qt::SkipEmptyParts).value(1).split(' ', Qt::SkipEmptyParts);
    ASSERT_EQ(figures.size(), 2) << qPrintable(df.output);
    EXPECT_GT(figures[0].toLongLong(), 0);
    EXPECT_GT(figures[1].toLongLong(), 0);
    EXPECT_LE(figures[1].toLongLong(), figures[0].toLongLong());
}

// Each of the tests below mounts a phone of its own.
class OwnMountTest : public testing::Test {
protected:
    void SetUp() override { SKIP_WITHOUT_FUSE(); }
};

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

TEST_F(OwnMountTest, StoppingTheProgramUnmountsEvenWhileAFileIsOpen) {
    MountedPhone phone;
    writePatternFile(phone.phoneFile("held.bin"), 100000);
    const int fd = ::open(phone.mounted("held.bin").toLocal8Bit().constData(), O_RDONLY);
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(phone.unmount()) << qPrintable(phone.log());
    EXPECT_FALSE(isMountPoint(phone.mounted()));
    ::close(fd);
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
