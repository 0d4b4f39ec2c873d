// What the extension answers when no adb server is there: requests that need
// none still succeed, the others report the connection error unchanged.
#include "extension/provider/file_provider_enumerator.h"
#include "extension/provider/file_provider_extension.h"
#include "extension/provider/file_provider_item.h"
#include "tests/extension/provider/recording_observers.h"
#include "tests/extension/provider/scoped_temporary_folder.h"
#include "tests/extension/provider/unused_port.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <future>

using namespace fileprovider;

namespace {

const QString unreachableText = QStringLiteral("Couldn't reach the adb server. Is the app running?");

TEST(EnumeratorWithoutServerTest, WorkingSetAndTrashFinishAtOnceWithoutItems) {
    for (const ItemIdentifier &container : {ItemIdentifier::workingSet(), ItemIdentifier::trashContainer()}) {
        FileProviderEnumerator enumerator("serial", container, unusedLoopbackPort());
        EXPECT_EQ(enumerator.containerPath(), std::nullopt);
        auto observer = std::make_shared<RecordingEnumerationObserver>();
        enumerator.enumerateItemsForObserver(observer, Page{"any page"});
        // Answered before returning, on this thread, with no phone to ask.
        EXPECT_EQ(observer->calls, QStringList{"finishEnumeratingUpToPage"});
        EXPECT_EQ(observer->nextPage, std::nullopt);
        EXPECT_EQ(observer->finishingThread, QThread::currentThread());
    }
}

TEST(EnumeratorWithoutServerTest, AFailedListingReportsOnlyTheError) {
    FileProviderEnumerator enumerator("serial", ItemIdentifier::rootContainer(), unusedLoopbackPort());
    EXPECT_EQ(enumerator.containerPath(), QString("/sdcard"));
    auto observer = std::make_shared<RecordingEnumerationObserver>();
    enumerator.enumerateItemsForObserver(observer, Page::initial());
    ASSERT_TRUE(observer->waitForEnd());
    EXPECT_EQ(observer->calls, QStringList{"finishEnumeratingWithError"});
    ASSERT_TRUE(observer->error);
    EXPECT_EQ(observer->error->description, unreachableText);
    EXPECT_NE(observer->finishingThread, QThread::currentThread());
}

TEST(EnumeratorWithoutServerTest, ChangesEchoTheAnchorGivenAndTheCurrentAnchorIsV1) {
    FileProviderEnumerator enumerator("serial", ItemIdentifier("/sdcard/Music/"), unusedLoopbackPort());
    EXPECT_EQ(enumerator.containerPath(), QString("/sdcard/Music/"));
    for (const QByteArray &bytes : {QByteArray("v1"), QByteArray("never issued"), QByteArray()}) {
        RecordingChangeObserver observer;
        enumerator.enumerateChangesForObserver(std::shared_ptr<ChangeObserver>(&observer, [](ChangeObserver *) {}),
                                               SyncAnchor{bytes});
        EXPECT_EQ(observer.calls, QStringList{"finishEnumeratingChangesUpToSyncAnchor"});
        EXPECT_EQ(observer.anchor, SyncAnchor{bytes});
        EXPECT_FALSE(observer.moreComing);
    }
    std::optional<SyncAnchor> current;
    enumerator.currentSyncAnchor([&](const std::optional<SyncAnchor> &anchor) { current = anchor; });
    EXPECT_EQ(current, SyncAnchor{QByteArray("\x76\x31")});
}

class ExtensionWithoutServerTest : public testing::Test {
protected:
    ScopedTemporaryFolder temporaryFolder;
};

TEST_F(ExtensionWithoutServerTest, TakesTheSerialFromTheDomainAndDownloadsIntoVaneFetch) {
    FileProviderExtension extension(Domain{"192-DOT-168-DOT-1-DOT-20-COLON-5555", "Pixel"}, unusedLoopbackPort());
    EXPECT_EQ(extension.serial(), "192.168.1.20:5555");
    EXPECT_EQ(extension.tempDir(), temporaryFolder.path() + "/vane-fetch");
    EXPECT_TRUE(QFileInfo(extension.tempDir()).isDir());
}

TEST_F(ExtensionWithoutServerTest, TheRootIsAnsweredAtOnceWithoutThePhone) {
    FileProviderExtension extension(Domain{"emulator-5554", ""}, unusedLoopbackPort());
    ItemPointer root;
    std::optional<ProviderError> failure;
    extension.itemForIdentifier(ItemIdentifier::rootContainer(), [&](ItemPointer item, const std::optional<ProviderError> &error) {
        root = std::move(item);
        failure = error;
    });
    ASSERT_TRUE(root);
    EXPECT_FALSE(failure);
    EXPECT_TRUE(root->isFolder());
    EXPECT_EQ(root->itemIdentifier(), ItemIdentifier::rootContainer());
    EXPECT_EQ(root->documentSize(), std::nullopt);
}

TEST_F(ExtensionWithoutServerTest, LookupsDownloadsAndStorageReportTheConnectionErrorUnchanged) {
    FileProviderExtension extension(Domain{"emulator-5554", ""}, unusedLoopbackPort());
    std::promise<std::optional<ProviderError>> lookup, download, storage;
    extension.itemForIdentifier(ItemIdentifier("/sdcard/DCIM"), [&](ItemPointer item, const std::optional<ProviderError> &error) {
        EXPECT_FALSE(item);
        lookup.set_value(error);
    });
    extension.fetchContentsForItemWithIdentifier(
        ItemIdentifier("/sdcard/a.txt"), std::nullopt,
        [&](const std::optional<QString> &path, ItemPointer item, const std::optional<ProviderError> &error) {
            EXPECT_FALSE(path);
            EXPECT_FALSE(item);
            download.set_value(error);
        });
    extension.storageSpace([&](const std::optional<StorageSpace> &space, const std::optional<ProviderError> &error) {
        EXPECT_FALSE(space);
        storage.set_value(error);
    });
    for (auto *answer : {&lookup, &download, &storage}) {
        auto future = answer->get_future();
        ASSERT_EQ(future.wait_for(std::chrono::seconds(20)), std::future_status::ready);
        const auto error = future.get();
        ASSERT_TRUE(error);
        EXPECT_EQ(error->description, unreachableText);
        // Not turned into a file-provider code such as "no such item".
        EXPECT_NE(error->domain, ProviderError::fileProviderDomain);
    }
}

TEST_F(ExtensionWithoutServerTest, ChangesFailWithTheConnectionErrorButTheStorageFolderIsRefusedFirst) {
    FileProviderExtension extension(Domain{"emulator-5554", ""}, unusedLoopbackPort());
    std::promise<std::optional<ProviderError>> deleted, created, rootDeleted;
    extension.deleteItemWithIdentifier(ItemIdentifier("/sdcard/a"), {}, {},
                                       [&](const std::optional<ProviderError> &error) { deleted.set_value(error); });
    auto itemTemplate = std::make_shared<FileProviderItem>("/sdcard/New", true, 0, 0);
    extension.createItemBasedOnTemplate(itemTemplate, {}, std::nullopt, {},
                                        [&](ItemPointer item, ItemFields, bool, const std::optional<ProviderError> &error) {
                                            EXPECT_FALSE(item);
                                            created.set_value(error);
                                        });
    extension.deleteItemWithIdentifier(ItemIdentifier::rootContainer(), {}, {},
                                       [&](const std::optional<ProviderError> &error) { rootDeleted.set_value(error); });
    for (auto *answer : {&deleted, &created}) {
        auto future = answer->get_future();
        ASSERT_EQ(future.wait_for(std::chrono::seconds(20)), std::future_status::ready);
        const auto error = future.get();
        ASSERT_TRUE(error);
        EXPECT_EQ(error->description, unreachableText);
    }
    auto future = rootDeleted.get_future();
    ASSERT_EQ(future.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    const auto error = future.get();
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->is(FileProviderErrorCode::deletionRejected));
}

} // namespace
