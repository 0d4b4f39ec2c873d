// The FUSE bridge, mounted for real in this process over an extension that
// keeps a small tree in memory.
#include "tests/platform/fileprovider/host/fuse_availability.h"
#include "tests/platform/fileprovider/host/served_mount.h"
#include "tests/platform/fileprovider/host/tree_extension.h"

#include <QDir>
#include <QProcess>

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <thread>
#include <unistd.h>

using namespace fileprovider;

namespace {

// The errno of a failed call, or 0 when it succeeded.
int errnoOf(int result) { return result < 0 ? errno : 0; }

QByteArray readAll(const QByteArray &path) {
    QFile file(QString::fromLocal8Bit(path));
    if (!file.open(QIODevice::ReadOnly)) return "<cannot open>";
    return file.readAll();
}

// Collects what is written to standard error while it lives.
class CapturedStandardError {
public:
    CapturedStandardError() : path_(folder_.file("stderr.txt")), saved_(::dup(2)) {
        std::fflush(stderr);
        const int fd = ::open(path_.toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(fd, 2);
        ::close(fd);
    }
    ~CapturedStandardError() { restore(); }
    QString text() {
        restore();
        QFile file(path_);
        if (!file.open(QIODevice::ReadOnly)) return {};
        return QString::fromUtf8(file.readAll());
    }

private:
    void restore() {
        if (saved_ < 0) return;
        std::fflush(stderr);
        ::dup2(saved_, 2);
        ::close(saved_);
        saved_ = -1;
    }

    testsupport::TempFolder folder_;
    QString path_;
    int saved_;
};

class FuseBridgeTest : public testing::Test {
protected:
    void SetUp() override {
        SKIP_WITHOUT_FUSE();
        tree.downloadFolder = downloads.path();
        tree.addFolder("/DCIM", 1700000000.25);
        tree.addFile("/DCIM/a.jpg", QByteArray(70000, 'a'), 1700000001);
        tree.addFile("/empty.txt", QByteArray());
        mount = std::make_unique<ServedMount>(tree);
    }
    void TearDown() override { mount.reset(); }

    int downloadsLeft() const { return QDir(downloads.path()).entryList(QDir::Files).size(); }
    bool waitForNoDownloads() const {
        for (int attempt = 0; attempt < 100 && downloadsLeft() > 0; ++attempt) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return downloadsLeft() == 0;
    }

    testsupport::TempFolder downloads;
    TreeExtension tree;
    std::unique_ptr<ServedMount> mount;
};

TEST_F(FuseBridgeTest, AttributesComeFromTheItems) {
    struct stat folder{}, photo{}, empty{};
    ASSERT_EQ(::stat(mount->nativePath("DCIM"), &folder), 0);
    EXPECT_TRUE(S_ISDIR(folder.st_mode));
    EXPECT_EQ(folder.st_mode & 0777, 0755u);
    EXPECT_EQ(folder.st_mtim.tv_sec, 1700000000);
    EXPECT_EQ(folder.st_mtim.tv_nsec, 250000000);
    ASSERT_EQ(::stat(mount->nativePath("DCIM/a.jpg"), &photo), 0);
    EXPECT_TRUE(S_ISREG(photo.st_mode));
    EXPECT_EQ(photo.st_size, 70000);
    EXPECT_EQ(photo.st_uid, ::getuid());
    ASSERT_EQ(::stat(mount->nativePath("empty.txt"), &empty), 0);
    EXPECT_EQ(empty.st_size, 0);
    EXPECT_EQ(errnoOf(::stat(mount->nativePath("DCIM/none"), &empty)), ENOENT);
}

TEST_F(FuseBridgeTest, ALongListingCostsOneListingAndNoLookupPerEntry) {
    tree.addFolder("/many");
    for (int index = 0; index < 300; ++index) tree.addFile(QString("/many/file-%1.bin").arg(index, 3, 10, QChar('0')), QByteArray(index, 'x'));
    tree.lookups = 0;
    tree.listings = 0;
    QProcess ls;
    ls.start("ls", {"-l", "--time-style=+%s", mount->path("many")});
    ASSERT_TRUE(ls.waitForFinished(60000));
    const QStringList lines = QString::fromUtf8(ls.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 301) << qPrintable(lines.join('\n').left(500));
    EXPECT_TRUE(lines[300].contains(" 299 1000 file-299.bin")) << qPrintable(lines[300]);
    EXPECT_EQ(tree.listings, 1);
    // The folder itself may be looked up; its entries never are.
    EXPECT_LE(tree.lookups, 2);
}

TEST_F(FuseBridgeTest, ListingsOfSeveralPagesAreJoined) {
    tree.setPageSize(7);
    tree.addFolder("/paged");
    QStringList expected;
    for (int index = 0; index < 30; ++index) {
        expected.append(QString("n%1").arg(index, 2, 10, QChar('0')));
        tree.addFile("/paged/" + expected.last(), "x");
    }
    EXPECT_EQ(QDir(mount->path("paged")).entryList(QDir::Files, QDir::Name), expected);
}

TEST_F(FuseBridgeTest, ChildrenAreFoundInTheParentsListingWhenTheExtensionCannotNameThem) {
    TreeExtension unnamed(false);
    unnamed.downloadFolder = downloads.path();
    unnamed.addFolder("/a");
    unnamed.addFolder("/a/b");
    unnamed.addFile("/a/b/c.txt", "found by name");
    ServedMount other(unnamed);
    EXPECT_EQ(readAll(other.nativePath("a/b/c.txt")), "found by name");
    struct stat attributes{};
    EXPECT_EQ(errnoOf(::stat(other.nativePath("a/nothing"), &attributes)), ENOENT);
}

TEST_F(FuseBridgeTest, FailuresBecomeErrnoValuesAndTheirDescriptionsAreLogged) {
    tree.addFile("/locked", "x");
    tree.failFor("/locked", ProviderError{"TestError", 3, "the phone said no", EACCES});
    tree.addFile("/cut", "x");
    tree.failFor("/cut", ProviderError{"TestError", 1, "stream cut short", std::nullopt});
    tree.addFile("/away", "x");
    tree.failFor("/away", ProviderError::fileProvider(FileProviderErrorCode::serverUnreachable));
    struct stat attributes{};
    CapturedStandardError captured;
    EXPECT_EQ(errnoOf(::stat(mount->nativePath("locked"), &attributes)), EACCES);
    EXPECT_EQ(errnoOf(::stat(mount->nativePath("cut"), &attributes)), EIO);
    EXPECT_EQ(errnoOf(::stat(mount->nativePath("away"), &attributes)), ENOTCONN);
    EXPECT_EQ(errnoOf(::stat(mount->nativePath("missing"), &attributes)), ENOENT);
    const QString log = captured.text();
    EXPECT_TRUE(log.contains("/locked failed: the phone said no")) << qPrintable(log);
    EXPECT_TRUE(log.contains("/cut failed: stream cut short")) << qPrintable(log);
    EXPECT_FALSE(log.contains("/missing")) << qPrintable(log);
}

TEST_F(FuseBridgeTest, AnExtensionThatOffersNoChangesRefusesThemAllAndLosesNothing) {
    // Opening for writing fetches nothing; the refusal comes with the upload, on close.
    const int writer = ::open(mount->nativePath("DCIM/a.jpg"), O_WRONLY);
    ASSERT_GE(writer, 0);
    EXPECT_EQ(tree.downloads, 0);
    EXPECT_EQ(::pwrite(writer, "b", 1, 0), 1);
    EXPECT_EQ(tree.downloads, 1);
    EXPECT_EQ(errnoOf(::close(writer)), EROFS);
    const int made = ::open(mount->nativePath("new.txt"), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(made, 0);
    EXPECT_EQ(errnoOf(::close(made)), EROFS);
    struct stat attributes{};
    // Gone once the handle is released, which follows close() shortly.
    int lookup = 0;
    for (int attempt = 0; attempt < 100 && (lookup = errnoOf(::stat(mount->nativePath("new.txt"), &attributes))) == 0; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(lookup, ENOENT);

    EXPECT_EQ(errnoOf(::mkdir(mount->nativePath("New folder"), 0755)), EROFS);
    EXPECT_EQ(errnoOf(::unlink(mount->nativePath("empty.txt"))), EROFS);
    EXPECT_EQ(tree.deletions, 1);
    // Never a recursive delete: a folder with something in it is refused first.
    EXPECT_EQ(errnoOf(::rmdir(mount->nativePath("DCIM"))), ENOTEMPTY);
    EXPECT_EQ(tree.deletions, 1);
    EXPECT_EQ(errnoOf(::rename(mount->nativePath("empty.txt"), mount->nativePath("renamed.txt"))), EROFS);
    EXPECT_EQ(errnoOf(::truncate(mount->nativePath("DCIM/a.jpg"), 0)), EROFS);
    // Accepted without work, so that cp -p and touch go on.
    EXPECT_EQ(errnoOf(::chmod(mount->nativePath("DCIM/a.jpg"), 0600)), 0);
    ASSERT_EQ(::stat(mount->nativePath("DCIM/a.jpg"), &attributes), 0);
    EXPECT_EQ(attributes.st_size, 70000);
    EXPECT_EQ(readAll(mount->nativePath("DCIM/a.jpg")), QByteArray(70000, 'a'));
    EXPECT_TRUE(waitForNoDownloads());
    EXPECT_EQ(mount->bridge().openCopyCount(), 0);
}

TEST_F(FuseBridgeTest, StorageFiguresAreTheExtensionsAndBrieflyKept) {
    tree.setStorage(StorageSpace{3LL << 30, 8LL << 30});
    struct statvfs figures{};
    ASSERT_EQ(::statvfs(mount->nativePath(), &figures), 0);
    EXPECT_EQ(figures.f_bavail * figures.f_frsize, 3ULL << 30);
    EXPECT_EQ(figures.f_blocks * figures.f_frsize, 8ULL << 30);
    ASSERT_EQ(::statvfs(mount->nativePath("DCIM"), &figures), 0);
    EXPECT_EQ(tree.storageQueries, 1);
}

TEST_F(FuseBridgeTest, WithoutStorageFiguresTheLocationReportsNoSpace) {
    struct statvfs figures{};
    ASSERT_EQ(::statvfs(mount->nativePath(), &figures), 0);
    EXPECT_EQ(figures.f_bavail, 0u);
    EXPECT_EQ(figures.f_namemax, 255u);
}

TEST_F(FuseBridgeTest, ReadsComeFromADownloadedCopyThatGoesAwayOnClose) {
    const int fd = ::open(mount->nativePath("DCIM/a.jpg"), O_RDONLY);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(tree.downloads, 1);
    EXPECT_EQ(downloadsLeft(), 1);
    QByteArray buffer(100000, '\0');
    EXPECT_EQ(::pread(fd, buffer.data(), buffer.size(), 0), 70000);
    EXPECT_EQ(buffer.left(70000), QByteArray(70000, 'a'));
    ::close(fd);
    EXPECT_TRUE(waitForNoDownloads());
    EXPECT_EQ(mount->bridge().openCopyCount(), 0);
}

TEST_F(FuseBridgeTest, AnOpenFileIsServedAtTheSizeOfItsCopyNotTheReportedOne) {
    const QByteArray contents(300000, 'z');
    tree.addFile("/wrapped.bin", contents);
    // As a 32-bit size field leaves a file past 4 GiB.
    tree.setReportedSize("/wrapped.bin", 1000);
    struct stat before{};
    ASSERT_EQ(::stat(mount->nativePath("wrapped.bin"), &before), 0);
    EXPECT_EQ(before.st_size, 1000);

    const int fd = ::open(mount->nativePath("wrapped.bin"), O_RDONLY);
    ASSERT_GE(fd, 0);
    struct stat opened{}, byPath{};
    ASSERT_EQ(::fstat(fd, &opened), 0);
    EXPECT_EQ(opened.st_size, 300000);
    ASSERT_EQ(::stat(mount->nativePath("wrapped.bin"), &byPath), 0);
    EXPECT_EQ(byPath.st_size, 300000);
    QByteArray all;
    char chunk[65536];
    for (ssize_t count; (count = ::read(fd, chunk, sizeof chunk)) > 0;) all.append(chunk, count);
    EXPECT_EQ(all, contents);
    ::close(fd);
    EXPECT_TRUE(waitForNoDownloads());
}

TEST_F(FuseBridgeTest, UnmountingDoesNotWaitForARequestThatIsNeverAnswered) {
    tree.addFile("/stuck", "x");
    tree.neverAnswer("/stuck");
    std::atomic<int> result{1};
    std::thread caller([&] {
        struct stat attributes{};
        result = ::stat(mount->nativePath("stuck"), &attributes);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    mount.reset();
    caller.join();
    EXPECT_NE(result, 0);
}

} // namespace
