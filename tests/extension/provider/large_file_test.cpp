// A phone file past 4 GiB, whose size the sync service's 32-bit field
// wraps, copied out of the mount whole.
#include "tests/extension/provider/mounted_phone.h"
#include "tests/extension/provider/fuse_availability.h"

#include <QFile>
#include <QStorageInfo>

#include <gtest/gtest.h>

namespace {

// Its reported size is small, so the wrap shows only past the first bytes.
constexpr qint64 largeSize = (4LL << 30) + (16LL << 10);

// Sparse but not empty: a pattern at both ends and across the 4 GiB mark.
void writeSparseFile(const QString &path) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_TRUE(file.resize(largeSize));
    for (const qint64 offset : {qint64(0), (4LL << 30) - 4096, largeSize - 8192}) {
        ASSERT_TRUE(file.seek(offset));
        ASSERT_EQ(file.write(QByteArray(8192, char('a' + offset % 23))), 8192);
    }
}

TEST(LargeFileTest, AFileOfFourGibibytesAndSixteenKibibytesCopiesOutWhole) {
    SKIP_WITHOUT_FUSE();
    testsupport::TempFolder local;
    // The phone's file is sparse; the download and the copy are not.
    if (QStorageInfo(local.path()).bytesAvailable() < 3 * largeSize) GTEST_SKIP() << "not enough free disk space for two copies";
    MountedPhone phone;
    writeSparseFile(phone.phoneFile("video.mkv"));
    const QString expected = testsupport::sha256OfFile(phone.phoneFile("video.mkv"));

    const ProgramRun cp = runProgram("cp", {phone.mounted("video.mkv"), local.file("video.mkv")}, 1200);
    ASSERT_EQ(cp.exitCode, 0) << qPrintable(cp.errors);
    EXPECT_EQ(QFile(local.file("video.mkv")).size(), largeSize);
    EXPECT_EQ(testsupport::sha256OfFile(local.file("video.mkv")), expected);
}

} // namespace
