#include "extension/provider/device_paths.h"
#include "extension/provider/file_provider_item.h"

#include <QDateTime>

#include <gtest/gtest.h>

using fileprovider::ContentType;
using fileprovider::ItemIdentifier;

namespace {

FileProviderItem file(const QString &path, qint64 size = 1, double modified = 0) { return {path, false, size, modified}; }
FileProviderItem folder(const QString &path) { return {path, true, 0, 0}; }

TEST(FileProviderItemTest, RootIsItsOwnParentAndFirstLevelEntriesHangOffTheRootIdentifier) {
    const auto root = FileProviderItem::rootItem();
    EXPECT_EQ(root->itemIdentifier(), ItemIdentifier::rootContainer());
    EXPECT_EQ(root->parentItemIdentifier(), ItemIdentifier::rootContainer());
    EXPECT_EQ(root->filename(), "sdcard");
    EXPECT_TRUE(root->isFolder());
    EXPECT_EQ(root->size(), 0);
    EXPECT_NEAR(root->modified(), QDateTime::currentSecsSinceEpoch(), 5);

    const FileProviderItem dcim = folder("/sdcard/DCIM");
    EXPECT_EQ(dcim.itemIdentifier(), ItemIdentifier("/sdcard/DCIM"));
    EXPECT_EQ(dcim.parentItemIdentifier(), ItemIdentifier::rootContainer());
    EXPECT_NE(dcim.parentItemIdentifier(), ItemIdentifier("/sdcard"));

    const FileProviderItem photo = file("/sdcard/DCIM/Camera/a.jpg");
    EXPECT_EQ(photo.parentItemIdentifier(), ItemIdentifier("/sdcard/DCIM/Camera"));
    EXPECT_EQ(photo.filename(), "a.jpg");
}

TEST(FileProviderItemTest, FoldersAreAlwaysFoldersAndFilesAreTypedByTheirExtensionAlone) {
    EXPECT_EQ(folder("/sdcard/photos.zip").contentType(), ContentType::folder());
    EXPECT_EQ(file("/sdcard/photos.zip").contentType().identifier(), "application/zip");
    EXPECT_EQ(file("/sdcard/archive.tar.gz").contentType().identifier(), "application/gzip");
    EXPECT_EQ(file("/sdcard/a.jpg").contentType().identifier(), "image/jpeg");
    EXPECT_EQ(file("/sdcard/notes.nosuchextension").contentType(), ContentType::data());
    EXPECT_EQ(file("/sdcard/README").contentType(), ContentType::data());
    EXPECT_EQ(file("/sdcard/ends-in-dot.").contentType(), ContentType::data());
    EXPECT_NE(file("/sdcard/looks-like-a-folder").contentType(), ContentType::folder());
}

TEST(FileProviderItemTest, VersionChangesWithWholeSecondsAndSizeOnly) {
    const auto version = file("/sdcard/a.txt", 512, 100.75).itemVersion();
    EXPECT_EQ(version.contentVersion, QByteArray("100-512"));
    EXPECT_EQ(version.metadataVersion, QByteArray("100-512"));
    EXPECT_EQ(file("/sdcard/a.txt", 512, 100.25).itemVersion(), version);
    EXPECT_EQ(file("/sdcard/renamed.txt", 512, 100.0).itemVersion(), version);
    EXPECT_NE(file("/sdcard/a.txt", 512, 101.0).itemVersion(), version);
    EXPECT_NE(file("/sdcard/a.txt", 513, 100.75).itemVersion(), version);
    // Toward zero, not down.
    EXPECT_EQ(file("/sdcard/old", 0, -1.5).itemVersion().contentVersion, QByteArray("-1-0"));
    EXPECT_EQ(file("/sdcard/far", 1, 1e300).itemVersion().contentVersion, QByteArray("9223372036854775807-1"));
}

TEST(DevicePathsTest, IdentifiersAreDevicePathsAndComponentsFollowThePathStringRules) {
    EXPECT_EQ(devicePathFor(ItemIdentifier::rootContainer()), "/sdcard");
    EXPECT_EQ(devicePathFor(ItemIdentifier("/sdcard/Music")), "/sdcard/Music");
    EXPECT_EQ(devicePathFor(ItemIdentifier::workingSet()), ItemIdentifier::workingSet().text());
    EXPECT_EQ(devicePathFor(ItemIdentifier::trashContainer()), ItemIdentifier::trashContainer().text());
    EXPECT_EQ(identifierForDevicePath("/sdcard"), ItemIdentifier::rootContainer());
    EXPECT_EQ(identifierForDevicePath("/sdcard/"), ItemIdentifier("/sdcard/"));
    EXPECT_EQ(lastPathComponent("/sdcard/Music/"), "Music");
    EXPECT_EQ(lastPathComponent("/"), "/");
    EXPECT_EQ(deletingLastPathComponent("/sdcard/Music"), "/sdcard");
    EXPECT_EQ(deletingLastPathComponent("/sdcard/Music/"), "/sdcard");
    EXPECT_EQ(deletingLastPathComponent("/sdcard"), "/");
    EXPECT_EQ(deletingLastPathComponent("relative"), "");
    EXPECT_EQ(pathExtension("/sdcard/archive.tar.gz"), "gz");
    EXPECT_EQ(pathExtension("/sdcard/dir.d/README"), "");
    EXPECT_EQ(pathExtension("/sdcard/.bashrc"), "bashrc");
}

} // namespace
