// The parts of the host side that need no mount: the errno rule, the
// attributes handed to the kernel, the caches and the blocking requests.
#include "platform/fileprovider/host/errno_mapping.h"
#include "platform/fileprovider/host/extension_requests.h"
#include "platform/fileprovider/host/item_attributes.h"
#include "platform/fileprovider/host/open_copies.h"
#include "platform/fileprovider/host/storage_space_cache.h"
#include "platform/fileprovider/host/type_registry.h"
#include "tests/platform/fileprovider/host/tree_extension.h"
#include "tests/support/temp_folder.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>

using namespace fileprovider;

namespace {

TEST(ErrnoMappingTest, EachKindOfFailureHasItsErrno) {
    EXPECT_EQ(errnoFor(ProviderError::fileProvider(FileProviderErrorCode::noSuchItem)), ENOENT);
    EXPECT_EQ(errnoFor(ProviderError::fileProvider(FileProviderErrorCode::serverUnreachable)), ENOTCONN);
    EXPECT_EQ(errnoFor(ProviderError::fileProvider(FileProviderErrorCode::notAuthenticated)), EACCES);
    EXPECT_EQ(errnoFor(ProviderError::fileProvider(FileProviderErrorCode::readOnly)), EROFS);
    EXPECT_EQ(errnoFor(ProviderError::fileProvider(FileProviderErrorCode::directoryNotEmpty)), ENOTEMPTY);
    EXPECT_EQ(errnoFor(ProviderError::fileProvider(FileProviderErrorCode::insufficientQuota)), ENOSPC);
    EXPECT_EQ(errnoFor(ProviderError::fileProvider(FileProviderErrorCode::cannotSynchronize)), EIO);
    EXPECT_EQ(errnoFor(ProviderError{ProviderError::fileProviderDomain, -4242, "unknown code", std::nullopt}), EIO);
    EXPECT_EQ(errnoFor(ProviderError::posix(ENOSPC)), ENOSPC);
    // Another layer's error says what underlies it; without that it is EIO.
    EXPECT_EQ(errnoFor(ProviderError{"AdbClientError", 2, "unreachable", ENOTCONN}), ENOTCONN);
    EXPECT_EQ(errnoFor(ProviderError{"AdbClientError", 0, "refused", EACCES}), EACCES);
    EXPECT_EQ(errnoFor(ProviderError{"AdbClientError", 1, "garbled", std::nullopt}), EIO);
    EXPECT_EQ(errnoFor(ProviderError{ProviderError::posixDomain, 0, "no code", std::nullopt}), EIO);
    EXPECT_EQ(errnoFor(ProviderError{"Other", 1, "negative", -5}), EIO);
}

class FixedItem : public Item {
public:
    FixedItem(bool folder, std::optional<qint64> size, double modified, ItemCapabilities capabilities)
        : folder_(folder), size_(size), modified_(modified), capabilities_(capabilities) {}
    ItemIdentifier itemIdentifier() const override { return ItemIdentifier("x"); }
    ItemIdentifier parentItemIdentifier() const override { return ItemIdentifier::rootContainer(); }
    QString filename() const override { return "x"; }
    ContentType contentType() const override { return folder_ ? ContentType::folder() : ContentType::data(); }
    std::optional<qint64> documentSize() const override { return size_; }
    std::optional<Timestamp> contentModificationDate() const override { return modified_; }
    ItemCapabilities capabilities() const override { return capabilities_; }
    ItemVersion itemVersion() const override { return {}; }

private:
    bool folder_;
    std::optional<qint64> size_;
    double modified_;
    ItemCapabilities capabilities_;
};

constexpr ItemCapabilities readWrite = ItemCapability::allowsReading | ItemCapability::allowsWriting;

TEST(ItemAttributesTest, KindPermissionsAndSizeFollowTheItem) {
    const auto folder = attributesFor(FixedItem(true, std::nullopt, 5, readWrite), 1000, 1001);
    EXPECT_EQ(folder.st_mode, S_IFDIR | 0755);
    EXPECT_EQ(folder.st_size, 0);
    EXPECT_EQ(folder.st_uid, 1000u);
    EXPECT_EQ(folder.st_gid, 1001u);

    const auto file = attributesFor(FixedItem(false, 513, 5, readWrite), 0, 0);
    EXPECT_EQ(file.st_mode, S_IFREG | 0644);
    EXPECT_EQ(file.st_size, 513);
    EXPECT_EQ(file.st_blocks, 2);

    const auto readOnly = attributesFor(FixedItem(false, 1, 5, ItemCapability::allowsReading), 0, 0);
    EXPECT_EQ(readOnly.st_mode, S_IFREG | 0444);
    const auto nothing = attributesFor(FixedItem(false, 1, 5, {}), 0, 0);
    EXPECT_EQ(nothing.st_mode, static_cast<mode_t>(S_IFREG));

    // The copy's size wins; a folder keeps 0 whatever it is given.
    EXPECT_EQ(attributesFor(FixedItem(false, 1048576, 5, readWrite), 0, 0, 4296015872LL).st_size, 4296015872LL);
    EXPECT_EQ(attributesFor(FixedItem(true, std::nullopt, 5, readWrite), 0, 0, 77).st_size, 0);
    EXPECT_EQ(attributesFor(FixedItem(false, -3, 5, readWrite), 0, 0).st_size, 0);
}

TEST(ItemAttributesTest, DatesBecomeTimespecsRoundedDown) {
    EXPECT_EQ(timespecFor(100.75).tv_sec, 100);
    EXPECT_EQ(timespecFor(100.75).tv_nsec, 750000000);
    EXPECT_EQ(timespecFor(-1.5).tv_sec, -2);
    EXPECT_EQ(timespecFor(-1.5).tv_nsec, 500000000);
    EXPECT_EQ(timespecFor(std::nan("")).tv_sec, 0);
    EXPECT_EQ(timespecFor(1e300).tv_sec, 0);
    const auto item = attributesFor(FixedItem(false, 1, 1700000000.5, readWrite), 0, 0);
    EXPECT_EQ(item.st_mtim.tv_sec, 1700000000);
    EXPECT_EQ(item.st_ctim.tv_sec, 1700000000);
}

TEST(StorageSpaceCacheTest, FiguresAreKeptForAFewSecondsOnly) {
    StorageSpaceCache cache;
    const auto start = StorageSpaceCache::Clock::now();
    EXPECT_EQ(cache.fresh(start), std::nullopt);
    cache.remember(StorageSpace{1, 2}, start);
    EXPECT_EQ(cache.fresh(start + std::chrono::seconds(4)), (StorageSpace{1, 2}));
    EXPECT_EQ(cache.fresh(start + StorageSpaceCache::lifetime), std::nullopt);
    EXPECT_EQ(cache.fresh(start - std::chrono::seconds(1)), std::nullopt);
}

TEST(OpenCopiesTest, CopiesAreRemovedWithTheirLastHandleAndWhenTheMountGoes) {
    testsupport::TempFolder folder;
    auto copyOf = [&](const QString &name, qint64 size, bool shared) {
        const QString local = folder.file(name);
        testsupport::writePatternFile(local, size);
        auto copy = std::make_unique<OpenCopy>();
        copy->fd.reset(::open(local.toLocal8Bit().constData(), O_RDONLY));
        copy->localPath = local;
        copy->size = size;
        copy->shared = shared;
        return copy;
    };
    {
        OpenCopies copies;
        OpenCopy *first = copies.adopt(copyOf("one", 10, false), "/a");
        OpenCopy *writer = copies.adopt(copyOf("two", 30, true), "/a");
        copies.adopt(copyOf("three", 5, false), "/b");
        EXPECT_EQ(copies.openSize("/a"), 30);
        EXPECT_EQ(copies.openSize("/c"), std::nullopt);
        // Only a writer's copy is shared, and it lives while any handle does.
        EXPECT_EQ(copies.joinShared("/b"), nullptr);
        EXPECT_EQ(copies.joinShared("/a"), writer);
        copies.release(writer);
        EXPECT_TRUE(QFile::exists(folder.file("two")));
        copies.release(first);
        EXPECT_FALSE(QFile::exists(folder.file("one")));
        EXPECT_EQ(copies.count(), 2);
        copies.release(first);
        EXPECT_EQ(copies.count(), 2);
    }
    EXPECT_FALSE(QFile::exists(folder.file("two")));
    EXPECT_FALSE(QFile::exists(folder.file("three")));
}

TEST(OpenCopiesTest, FilesNotOnThePhoneYetAreFoundMovedAndForgotten) {
    OpenCopies copies;
    auto pendingCopy = [](qint64 size) {
        auto copy = std::make_unique<OpenCopy>();
        copy->shared = true;
        copy->onPhone = false;
        copy->attributes.st_mode = S_IFREG | 0644;
        copy->size = size;
        return copy;
    };
    OpenCopy *made = copies.adopt(pendingCopy(7), "/Docs/new.txt");
    copies.adopt(pendingCopy(1), "/Docs/sub/deeper.txt");
    ASSERT_TRUE(copies.pendingAt("/Docs/new.txt"));
    EXPECT_EQ(copies.pendingAt("/Docs/new.txt")->st_size, 7);
    const auto inDocs = copies.pendingIn("/Docs");
    ASSERT_EQ(inDocs.size(), 1);
    EXPECT_EQ(inDocs[0].first, "new.txt");

    // A folder's rename takes what is below it along, and nothing else.
    copies.move("/Docs", "/Papers");
    EXPECT_FALSE(copies.pendingAt("/Docs/new.txt"));
    EXPECT_EQ(copies.mountPathOf(made), "/Papers/new.txt");
    EXPECT_TRUE(copies.pendingAt("/Papers/sub/deeper.txt"));
    copies.move("/Pap", "/X");
    EXPECT_EQ(copies.mountPathOf(made), "/Papers/new.txt");

    made->onPhone = true;
    EXPECT_FALSE(copies.pendingAt("/Papers/new.txt"));
    copies.detach("/Papers/sub");
    EXPECT_FALSE(copies.pendingAt("/Papers/sub/deeper.txt"));
    EXPECT_EQ(copies.count(), 2);
}

TEST(TypeRegistryTest, ExtensionsGiveDataTypesOrNone) {
    EXPECT_EQ(TypeRegistry::dataTypeForFilenameExtension("gz"), ContentType("application/gzip"));
    EXPECT_EQ(TypeRegistry::dataTypeForFilenameExtension("PNG"), ContentType("image/png"));
    EXPECT_EQ(TypeRegistry::dataTypeForFilenameExtension(""), std::nullopt);
    EXPECT_EQ(TypeRegistry::dataTypeForFilenameExtension("no-such-extension-here"), std::nullopt);
    EXPECT_NE(ContentType::folder(), ContentType::data());
}

TEST(ExtensionRequestsTest, PagesAreJoinedAndChildrenFoundByName) {
    TreeExtension tree(false);
    tree.setPageSize(3);
    tree.addFolder("/f");
    for (int index = 0; index < 10; ++index) tree.addFile(QString("/f/%1").arg(index), "x");
    ExtensionRequests requests(tree, [] { return false; });
    auto listing = requests.contents(TreeExtension::identifierOf("/f"));
    ASSERT_TRUE(std::holds_alternative<QList<ItemPointer>>(listing));
    EXPECT_EQ(std::get<QList<ItemPointer>>(listing).size(), 10);

    auto child = requests.childIdentifier(TreeExtension::identifierOf("/f"), "7");
    ASSERT_TRUE(std::holds_alternative<ItemIdentifier>(child));
    EXPECT_EQ(std::get<ItemIdentifier>(child), TreeExtension::identifierOf("/f/7"));
    auto missing = requests.childIdentifier(TreeExtension::identifierOf("/f"), "70");
    ASSERT_TRUE(std::holds_alternative<ProviderError>(missing));
    EXPECT_TRUE(std::get<ProviderError>(missing).is(FileProviderErrorCode::noSuchItem));
}

TEST(ExtensionRequestsTest, AWaitThatIsGivenUpEndsWithAnError) {
    TreeExtension tree;
    tree.addFile("/silent", "x");
    tree.neverAnswer("/silent");
    std::atomic<bool> abandoned{false};
    ExtensionRequests requests(tree, [&] { return abandoned.load(); });
    std::thread giveUp([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        abandoned = true;
    });
    auto item = requests.item(TreeExtension::identifierOf("/silent"));
    giveUp.join();
    ASSERT_TRUE(std::holds_alternative<ProviderError>(item));
    EXPECT_EQ(errnoFor(std::get<ProviderError>(item)), ESHUTDOWN);
}

} // namespace
