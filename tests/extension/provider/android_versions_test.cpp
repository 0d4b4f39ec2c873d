// Phones of several Android versions, mounted for real through the real adb
// server: their sizes past 4 GiB, their media index and their older forms.
#include "tests/extension/provider/fuse_availability.h"
#include "tests/extension/provider/mounted_phone.h"
#include "tests/support/adb_server.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <chrono>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr qint64 fiveGibibytes = 5LL << 30;

qint64 sizeThroughMount(const QString &path) {
    struct stat attributes{};
    return ::stat(path.toLocal8Bit().constData(), &attributes) == 0 ? qint64(attributes.st_size) : -1;
}

// The size `ls -l` shows for the one entry of a folder.
qint64 listedSize(const QString &folder) {
    const ProgramRun ls = runProgram("ls", {"-l", folder});
    const QStringList fields = ls.output.section('\n', 1, 1).split(' ', Qt::SkipEmptyParts);
    return fields.size() > 4 ? fields[4].toLongLong() : -1;
}

void makeSparse(const QString &path, qint64 size) {
    QDir().mkpath(path.section('/', 0, -2));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_TRUE(file.resize(size));
}

// Waits for the scans that name `wanted`; true once all came.
bool scansArrive(const MountedPhone &phone, const QStringList &wanted, std::chrono::seconds within) {
    const auto giveUp = std::chrono::steady_clock::now() + within;
    for (;;) {
        const QStringList scans = phone.scans();
        bool all = true;
        for (const QString &line : wanted) all = all && scans.contains(line);
        if (all) return true;
        if (std::chrono::steady_clock::now() > giveUp) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

class AndroidVersionsTest : public testing::Test {
protected:
    void SetUp() override { SKIP_WITHOUT_FUSE(); }
    static std::unique_ptr<MountedPhone> phoneOf(int android) {
        testsupport::PhoneSimOptions options;
        options.android = android;
        options.df = "30000000,10000000,20000000";
        return std::make_unique<MountedPhone>(options);
    }
    testsupport::TempFolder local;
};

TEST_F(AndroidVersionsTest, ACurrentPhoneShowsSizesPast4GiBAndScansWhatIsCopiedIn) {
    const auto phone = phoneOf(14);
    makeSparse(phone->phoneFile("Movies/video.mp4"), fiveGibibytes);
    EXPECT_EQ(listedSize(phone->mounted("Movies")), fiveGibibytes);
    EXPECT_EQ(sizeThroughMount(phone->mounted("Movies/video.mp4")), fiveGibibytes);

    QDir().mkpath(phone->phoneFile("DCIM/Camera"));
    testsupport::writePatternFile(local.file("photo.jpg"), 20000);
    ASSERT_EQ(runProgram("cp", {local.file("photo.jpg"), phone->mounted("DCIM/Camera/photo.jpg")}).exitCode, 0) << qPrintable(phone->log());
    EXPECT_TRUE(scansArrive(*phone, {"content\t/storage/emulated/0/DCIM/Camera/photo.jpg"}, std::chrono::seconds(10)))
        << qPrintable(phone->scans().join('\n'));

    // A folder copied in: every file scanned, by its path or its folder's.
    for (int index = 0; index < 300; ++index) testsupport::writePatternFile(local.file(QString("Trip/IMG_%1.jpg").arg(index)), 1000, index);
    ASSERT_EQ(runProgram("cp", {"-r", local.file("Trip"), phone->mounted("DCIM/Trip")}).exitCode, 0);
    const auto copied = std::chrono::steady_clock::now();
    for (;;) {
        const QStringList scans = phone->scans();
        int covered = 0;
        const bool folder = scans.contains("content\t/storage/emulated/0/DCIM/Trip");
        for (int index = 0; index < 300 && !folder; ++index)
            covered += scans.contains(QString("content\t/storage/emulated/0/DCIM/Trip/IMG_%1.jpg").arg(index));
        if (folder || covered == 300) break;
        ASSERT_LT(std::chrono::steady_clock::now() - copied, std::chrono::seconds(10)) << covered << " of 300 scanned";
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    // Hidden files are no media; the hidden names of uploads never show.
    for (const QString &line : phone->scans()) EXPECT_FALSE(line.contains("/.")) << qPrintable(line);
}

TEST_F(AndroidVersionsTest, AnAndroid9PhoneLooksUpWholeSizesAndHearsOfRenamesAndDeletes) {
    const auto phone = phoneOf(9);
    makeSparse(phone->phoneFile("Movies/video.mp4"), fiveGibibytes);
    EXPECT_EQ(sizeThroughMount(phone->mounted("Movies/video.mp4")), fiveGibibytes);

    QDir().mkpath(phone->phoneFile("DCIM/Camera"));
    testsupport::writePatternFile(local.file("photo.jpg"), 20000);
    ASSERT_EQ(runProgram("cp", {local.file("photo.jpg"), phone->mounted("DCIM/Camera/photo.jpg")}).exitCode, 0) << qPrintable(phone->log());
    const QString photo = "broadcast\t/storage/emulated/0/DCIM/Camera/photo.jpg", renamed = "broadcast\t/storage/emulated/0/DCIM/Camera/renamed.jpg";
    ASSERT_TRUE(scansArrive(*phone, {photo}, std::chrono::seconds(10)));
    // Each change is told after it happened: the old path again once it is gone.
    const auto scansOf = [&](const QString &line) { return phone->scans().count(line); };
    ASSERT_EQ(::rename(phone->mounted("DCIM/Camera/photo.jpg").toLocal8Bit().constData(),
                       phone->mounted("DCIM/Camera/renamed.jpg").toLocal8Bit().constData()), 0);
    for (int wait = 0; wait < 200 && (scansOf(photo) < 2 || scansOf(renamed) < 1); ++wait) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(scansOf(photo), 2);
    EXPECT_EQ(scansOf(renamed), 1);
    ASSERT_EQ(::unlink(phone->mounted("DCIM/Camera/renamed.jpg").toLocal8Bit().constData()), 0);
    for (int wait = 0; wait < 200 && scansOf(renamed) < 2; ++wait) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(scansOf(renamed), 2) << qPrintable(phone->scans().join('\n'));
}

TEST_F(AndroidVersionsTest, AnAndroid6PhoneWorksWithItsOlderFormsAndCarriageReturns) {
    const auto phone = phoneOf(6);
    struct statvfs figures{};
    ASSERT_EQ(::statvfs(phone->mounted().toLocal8Bit().constData(), &figures), 0);
    EXPECT_EQ(qint64(figures.f_blocks) * qint64(figures.f_frsize), 30000000LL * 1024);
    EXPECT_EQ(qint64(figures.f_bavail) * qint64(figures.f_frsize), 20000000LL * 1024);

    QDir().mkpath(phone->phoneFile("DCIM/Camera"));
    testsupport::writePatternFile(local.file("photo.jpg"), 20000);
    const QString hash = testsupport::sha256OfFile(local.file("photo.jpg"));
    ASSERT_EQ(runProgram("cp", {local.file("photo.jpg"), phone->mounted("DCIM/Camera/photo.jpg")}).exitCode, 0) << qPrintable(phone->log());
    EXPECT_EQ(testsupport::sha256OfFile(phone->mounted("DCIM/Camera/photo.jpg")), hash);
    EXPECT_TRUE(scansArrive(*phone, {"broadcast\t/storage/emulated/0/DCIM/Camera/photo.jpg"}, std::chrono::seconds(10)))
        << qPrintable(phone->scans().join('\n'));
    for (const QString &line : phone->scans()) EXPECT_FALSE(line.contains('\r'));
}

TEST_F(AndroidVersionsTest, APhonePairedOverWirelessDebuggingMountsAndCopiesBothWays) {
    testsupport::startAdbServer();
    if (const int major = testsupport::adbMajorVersion(); major < 30) GTEST_SKIP() << "adb pair needs adb 30 or newer; this adb is " << major;
    testsupport::PhoneSimOptions options;
    options.attach = testsupport::Attach::Paired;
    MountedPhone phone(options);
    testsupport::writePatternFile(local.file("in.bin"), 3'000'017);
    ASSERT_EQ(runProgram("cp", {local.file("in.bin"), phone.mounted("in.bin")}).exitCode, 0) << qPrintable(phone.log());
    EXPECT_EQ(testsupport::sha256OfFile(phone.phoneFile("in.bin")), testsupport::sha256OfFile(local.file("in.bin")));
    testsupport::writePatternFile(phone.phoneFile("out.bin"), 2'000'003, 7);
    ASSERT_EQ(runProgram("cp", {phone.mounted("out.bin"), local.file("out.bin")}).exitCode, 0) << qPrintable(phone.log());
    EXPECT_EQ(testsupport::sha256OfFile(local.file("out.bin")), testsupport::sha256OfFile(phone.phoneFile("out.bin")));
}

} // namespace
