#include "extension/provider/client_error_bridge.h"
#include "extension/provider/domain_identifier.h"
#include "extension/provider/media_scan_commands.h"
#include "extension/provider/ranged_read.h"
#include "extension/provider/storage_report_reader.h"
#include "platform/fileprovider/host/direct_io_mapping.h"
#include "platform/fileprovider/host/errno_mapping.h"
#include "platform/fileprovider/host/recent_folder_names.h"
#include "platform/fileprovider/host/requesting_process.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

using fileprovider::StorageSpace;

namespace {

TEST(DomainIdentifierTest, EncodedSerialsComeBackAsTheyWere) {
    EXPECT_EQ(serialForDomainIdentifier("R58M12ABCDE"), "R58M12ABCDE");
    EXPECT_EQ(serialForDomainIdentifier("emulator-5554"), "emulator-5554");
    EXPECT_EQ(serialForDomainIdentifier("R5-DOT-8-COLON-9"), "R5.8:9");
    EXPECT_EQ(serialForDomainIdentifier("192-DOT-168-DOT-1-DOT-20-COLON-5555"), "192.168.1.20:5555");
    // Plain replacement: nothing tells an encoded "." from the text itself.
    EXPECT_EQ(serialForDomainIdentifier("a-DOT-DOT-b"), "a.DOT-b");
    EXPECT_EQ(serialForDomainIdentifier("-COLON--DOT-"), ":.");
    EXPECT_EQ(serialForDomainIdentifier(""), "");
}

TEST(StorageReportReaderTest, ReadsTheFiguresOfOneRow) {
    const QString toybox = "Filesystem     1K-blocks    Used Available Use% Mounted on\n"
                           "/dev/fuse      115084088 8262860 106821228   8% /storage/emulated\n";
    EXPECT_EQ(readStorageReport(toybox), (StorageSpace{106821228LL * 1024, 115084088LL * 1024}));
    // Old phones end lines in CR LF; long names push the figures onto a line of their own.
    const QString wrapped = "Filesystem 1K-blocks Used Available Use% Mounted on\r\n"
                            "/dev/block/platform/soc/by-name/userdata\r\n"
                            "   1000 400 600 40% /data\r\n";
    EXPECT_EQ(readStorageReport(wrapped), (StorageSpace{600 * 1024, 1000 * 1024}));
    EXPECT_EQ(readStorageReport("/dev/fuse 0 0 0 0% /sdcard"), (StorageSpace{0, 0}));
}

TEST(StorageReportReaderTest, RefusesOutputWithoutARowOfFigures) {
    EXPECT_EQ(readStorageReport(""), std::nullopt);
    EXPECT_EQ(readStorageReport("df: /sdcard: No such file or directory\n"), std::nullopt);
    EXPECT_EQ(readStorageReport("Filesystem 1K-blocks Used Available Use% Mounted on\n"), std::nullopt);
    EXPECT_EQ(readStorageReport("Filesystem Size Used Free Blksize\n/sdcard 12.0G 3.1G 8.9G 4096\n"), std::nullopt);
    EXPECT_EQ(readStorageReport("/dev/fuse -5 1 -4 0% /sdcard\n"), std::nullopt);
    // More kilobytes than a signed 64-bit byte count holds.
    EXPECT_EQ(readStorageReport("/dev/fuse 9007199254740993 1 9007199254740992 1% /sdcard\n"), std::nullopt);
}

// Every kind of error, to the errno the kernel hears for a request and for a read.
TEST(ErrorMapTest, EachErrorReachesTheKernelWithItsErrno) {
    using fileprovider::ProviderError;
    const auto refusal = [](const char *text) { return bridgedError(AdbClientError::requestFailed(text)); };
    const struct { ProviderError error; int answered, answeredToRead; } rows[] = {
        {refusal("open failed: No such file or directory"), ENOENT, EIO},
        {refusal("open failed: Permission denied"), EACCES, EIO},
        {refusal("couldn't create file: Read-only file system"), EROFS, EIO},
        {refusal("device 'R58' not found"), ENOTCONN, EIO},
        {refusal("device unauthorized.\nThis adb server's $ADB_VENDOR_KEYS is not set"), EACCES, EIO},
        {refusal("the file 'device offline' was not found"), EIO, EIO},
        // The phone's own errno wins over its words.
        {bridgedError(AdbClientError::requestFailed("Too many levels of symbolic links", ELOOP)), ELOOP, EIO},
        {bridgedError(AdbClientError::connectionFailed()), ENOTCONN, EIO},
        {bridgedError(AdbClientError::connectionFailed(ECONNREFUSED)), ENOTCONN, EIO},
        {bridgedError(AdbClientError::connectionFailed(EMFILE)), EMFILE, EMFILE},
        {bridgedError(AdbClientError::phoneSilent(30)), ETIMEDOUT, EIO},
        {bridgedError(AdbClientError::protocolError("unexpected EOF")), EIO, EIO},
        {bridgedError(LocalFileError(ENOSPC, "/tmp/x")), ENOSPC, ENOSPC},
        {ProviderError::fileProvider(fileprovider::FileProviderErrorCode::noSuchItem), ENOENT, EIO},
        {ProviderError::fileProvider(fileprovider::FileProviderErrorCode::deletionRejected), EPERM, EIO},
        {ProviderError::fileProvider(fileprovider::FileProviderErrorCode::readOnly), EROFS, EIO},
        {ProviderError::fileProvider(fileprovider::FileProviderErrorCode::featureUnsupported), ENOTSUP, EIO},
    };
    for (const auto &row : rows) {
        EXPECT_EQ(fileprovider::errnoFor(row.error), row.answered) << qPrintable(row.error.description);
        EXPECT_EQ(fileprovider::errnoFor(row.error, fileprovider::Answering::read), row.answeredToRead) << qPrintable(row.error.description);
    }
}

TEST(RangedReadTest, CoversWholeBlocksAndKnowsWhatDdMustPrint) {
    constexpr qint64 block = rangedReadBlockSize, wrap = qint64(1) << 32;
    EXPECT_EQ(blocksCovering(0, 1), (BlockRange{0, 1}));
    EXPECT_EQ(blocksCovering(block - 1, 2), (BlockRange{0, 2}));
    EXPECT_EQ(blocksCovering(block, block), (BlockRange{1, 1}));
    EXPECT_EQ(rangedReadCommand("/sdcard/it's", {3, 2}), "dd if='/sdcard/it'\\''s' bs=65536 skip=3 count=2 2>/dev/null");
    EXPECT_EQ(expectedRangedBytes({1, 2}, 3 * block), 2 * block);
    EXPECT_EQ(expectedRangedBytes({1, 2}, 2 * block + 5), block + 5);
    EXPECT_EQ(expectedRangedBytes({2, 1}, 2 * block), 0);

    // A file of 4 GiB + 1 MiB is reported as 1 MiB.
    const qint64 reported = 1 << 20;
    qint64 size = -1;
    EXPECT_EQ(judgeSizeProbe(reported, sizeProbeFor(reported, 1), block, &size), ProbeVerdict::reachesFurther);
    EXPECT_EQ(judgeSizeProbe(reported, sizeProbeFor(reported, 2), 0, &size), ProbeVerdict::reachesNoFurther);
    const qint64 odd = reported + 100;
    EXPECT_EQ(judgeSizeProbe(odd, sizeProbeFor(odd, 1), 100, &size), ProbeVerdict::sizeFound);
    EXPECT_EQ(size, odd + wrap);
    // An error text of the same length is not a size that agrees.
    EXPECT_EQ(judgeSizeProbe(odd, sizeProbeFor(odd, 1), 99, &size), ProbeVerdict::reachesNoFurther);
}

} // namespace

namespace {

using fileprovider::RecentFolderNames;
using Answer = RecentFolderNames::Answer;

TEST(RecentFolderNamesTest, AnswersAbsenceOnlyWhileNamesAreMadeInTheFolderAndTheListingIsFresh) {
    RecentFolderNames names;
    const auto start = RecentFolderNames::Clock::now();
    const auto later = [&](int milliseconds) { return start + std::chrono::milliseconds(milliseconds); };
    // Misses alone, without names being made there, never turn into a listing.
    names.missed("/DCIM", start);
    EXPECT_EQ(names.lookUp("/DCIM", "a.jpg", later(10)), Answer::unknown);
    names.added("/DCIM", "a.jpg", later(15));
    // One new name is not yet a burst: a name made on the phone just now must show.
    EXPECT_EQ(names.lookUp("/DCIM", "b.jpg", later(16)), Answer::unknown);
    names.missed("/DCIM", later(18));
    EXPECT_EQ(names.lookUp("/DCIM", "b.jpg", later(20)), Answer::relist);
    names.remember("/DCIM", {"Photo.JPG"}, later(20));
    // The phone's storage ignores case: another spelling of a listed or made name is there.
    EXPECT_EQ(names.lookUp("/DCIM", "photo.jpg", later(30)), Answer::unknown);
    EXPECT_EQ(names.lookUp("/DCIM", "A.JPG", later(30)), Answer::unknown);
    EXPECT_EQ(names.lookUp("/DCIM", "b.jpg", later(30)), Answer::absent);
    EXPECT_EQ(names.lookUp("/DCIM", "b.jpg", later(890)), Answer::absent);
    EXPECT_EQ(names.lookUp("/DCIM", "b.jpg", later(900)), Answer::absent);
    EXPECT_EQ(names.lookUp("/Music", "b.jpg", later(30)), Answer::unknown);
    // A second on, the listing is stale; the burst asks for a new one.
    names.added("/DCIM", "c.jpg", later(1050));
    EXPECT_EQ(names.lookUp("/DCIM", "b.jpg", later(1100)), Answer::relist);
    // A folder made again keeps none of the names made in the one before it.
    names.added("/DCIM/New", "x.jpg", later(1200));
    names.madeFolder("/DCIM/New");
    names.added("/DCIM/New", "y.jpg", later(1210));
    names.missed("/DCIM/New", later(1220));
    names.missed("/DCIM/New", later(1230));
    names.remember("/DCIM/New", {}, later(1240));
    EXPECT_EQ(names.lookUp("/DCIM/New", "x.jpg", later(1250)), Answer::absent);
    EXPECT_EQ(names.lookUp("/DCIM/New", "y.jpg", later(1250)), Answer::unknown);
    // A listing asked for before folders moved shows them where they were.
    names.forgetAll();
    names.remember("/DCIM", {}, later(20));
    EXPECT_EQ(names.lookUp("/DCIM", "b.jpg", later(40)), Answer::unknown);
}

} // namespace

namespace {

template <typename T>
void put(QByteArray &bytes, int at, T value) { std::memcpy(bytes.data() + at, &value, sizeof value); }
template <typename T>
T get(const QByteArray &bytes, int at) {
    T value;
    std::memcpy(&value, bytes.constData() + at, sizeof value);
    return value;
}

// The kernel's INIT request: header (opcode at 4, unique at 8), then flags at 52 and flags2 at 56.
QByteArray initRequest(std::uint32_t opcode, std::uint32_t flags, std::uint32_t flags2) {
    QByteArray bytes(104, '\0');
    put(bytes, 0, std::uint32_t(bytes.size()));
    put(bytes, 4, opcode);
    put(bytes, 8, std::uint64_t(7));
    put(bytes, 52, flags);
    put(bytes, 56, flags2);
    return bytes;
}

TEST(DirectIoMappingTest, AsksInTheInitReplyOnlyWhereTheKernelOffers) {
    constexpr std::uint32_t extended = 1U << 30;
    constexpr std::uint32_t mappable = 1U << 4;   // bit 36 of the flags, in flags2
    const auto offer = fileprovider::readInitOffer(initRequest(26, extended | 1, mappable).constData(), 104);
    ASSERT_TRUE(offer);
    EXPECT_EQ(offer->unique, 7U);
    EXPECT_TRUE(offer->mappableDirectIo);
    // flags2 counts only when the kernel says it sent it; older kernels send neither.
    EXPECT_FALSE(fileprovider::readInitOffer(initRequest(26, 1, mappable).constData(), 104)->mappableDirectIo);
    EXPECT_FALSE(fileprovider::readInitOffer(initRequest(26, extended, 0).constData(), 104)->mappableDirectIo);
    EXPECT_FALSE(fileprovider::readInitOffer(initRequest(1, extended, mappable).constData(), 104));
    EXPECT_FALSE(fileprovider::readInitOffer(initRequest(26, extended, mappable).constData(), 59));

    QByteArray header(16, '\0'), reply(64, '\0');
    put(header, 8, std::uint64_t(7));
    put(reply, 12, std::uint32_t(0x21));
    put(reply, 32, std::uint32_t(0x2));
    iovec parts[2] = {{header.data(), size_t(header.size())}, {reply.data(), size_t(reply.size())}};
    EXPECT_FALSE(fileprovider::addMappableDirectIo(parts, 2, 8)) << "another request's reply";
    EXPECT_EQ(get<std::uint32_t>(reply, 12), 0x21U);
    put(header, 4, std::int32_t(-38));
    EXPECT_FALSE(fileprovider::addMappableDirectIo(parts, 2, 7)) << "an error reply";
    put(header, 4, std::int32_t(0));
    parts[1].iov_len = 24;
    EXPECT_FALSE(fileprovider::addMappableDirectIo(parts, 2, 7)) << "a reply too short to carry flags2";
    parts[1].iov_len = 64;
    ASSERT_TRUE(fileprovider::addMappableDirectIo(parts, 2, 7));
    EXPECT_EQ(get<std::uint32_t>(reply, 12), 0x21U | extended);
    EXPECT_EQ(get<std::uint32_t>(reply, 32), 0x2U | mappable);
}

TEST(RequestingProcessTest, TheThreadGroupComesFromItsOwnLineOnly) {
    using fileprovider::threadGroupInStatus;
    EXPECT_EQ(threadGroupInStatus("Name:\tcp\nUmask:\t0022\nState:\tS (sleeping)\nTgid:\t4242\nNgid:\t0\nPid:\t4243\n"), 4242);
    EXPECT_EQ(threadGroupInStatus("Name:\tTgid: 7\nTgid:  12"), 12);
    for (const char *broken : {"", "Name:\tx\nPid:\t5\n", "Name:\tx\nTgid:\t\n", "Name:\tx\nTgid:\t-3\n", "Name:\tx\nTgid:\t12ab\n",
                               "Name:\tx\nTgid:\t0\n", "Name:\tx\nTgid:\t99999999999999999999\n"}) {
        EXPECT_EQ(threadGroupInStatus(broken), 0) << broken;
    }
}

TEST(MediaScanCommandsTest, TheSetupIsReadWithoutTheCarriageReturnsOfOldPhones) {
    const auto current = readMediaIndexSetup("34\n/storage/emulated/0\n");
    ASSERT_TRUE(current);
    EXPECT_EQ(current->sdk, 34);
    EXPECT_EQ(current->storageRoot, "/storage/emulated/0");
    const auto old = readMediaIndexSetup("23\r\n/storage/emulated/0\r\n");
    ASSERT_TRUE(old);
    EXPECT_EQ(old->storageRoot, "/storage/emulated/0");
    EXPECT_TRUE(scansMovesAndDeletes(*old));
    EXPECT_FALSE(scansMovesAndDeletes(*current));
    for (const char *refused : {"", "34\n", "/system/bin/sh: getprop: not found\n/storage/emulated/0\n", "34\nreadlink: /sdcard: Permission denied\n",
                                "0\n/storage/emulated/0\n", "34\n/storage/emulated/0\nextra\n"}) {
        EXPECT_FALSE(readMediaIndexSetup(refused)) << refused;
    }
}

TEST(MediaScanCommandsTest, EachVersionGetsItsCommandQuotedAndBatchesStayShort) {
    const MediaIndexSetup current{33, "/storage/emulated/0"}, old{28, "/storage/emulated/0"};
    EXPECT_EQ(mediaScanCommandLines(current, {"/sdcard/DCIM/Bob's 1.jpg", "/sdcard/Music"}),
              QStringList({"content call --uri content://media --method scan_file --arg '/storage/emulated/0/DCIM/Bob'\\''s 1.jpg'; "
                           "content call --uri content://media --method scan_file --arg '/storage/emulated/0/Music'"}));
    EXPECT_EQ(mediaScanCommandLines(old, {QStringLiteral("/sdcard/DCIM/a b%#é.jpg")}),
              QStringList({"am broadcast -a android.intent.action.MEDIA_SCANNER_SCAN_FILE -d "
                           "'file:///storage/emulated/0/DCIM/a%20b%25%23%C3%A9.jpg'"}));
    QStringList many;
    for (int index = 0; index < 100; ++index) many.append(QString("/sdcard/DCIM/IMG_%1.jpg").arg(index));
    const QStringList lines = mediaScanCommandLines(current, many, 1000);
    EXPECT_GT(lines.size(), 1);
    EXPECT_EQ(lines.join("; ").count("scan_file"), 100);
    for (const QString &line : lines) EXPECT_LE(line.size(), 1000);

    EXPECT_TRUE(mediaScanAccepted(current, "Result: Bundle[{uri=content://media/external/file/12}]\n"));
    EXPECT_FALSE(mediaScanAccepted(current, "Error while accessing provider:media\njava.lang.UnsupportedOperationException\n"));
    EXPECT_TRUE(mediaScanAccepted(old, "Broadcasting: Intent { ... }\r\nBroadcast completed: result=0\r\n"));
    EXPECT_FALSE(mediaScanAccepted(old, "/system/bin/sh: am: not found\n"));
    EXPECT_TRUE(isMediaCandidate("/sdcard/DCIM/a.jpg"));
    EXPECT_FALSE(isMediaCandidate("/sdcard/DCIM/.a.jpg.dorvane-Xy12ab"));
    EXPECT_FALSE(isMediaCandidate("/sdcard"));
}

} // namespace
