// The extension against an emulated phone through the real adb server.
#include "extension/provider/file_provider_enumerator.h"
#include "extension/provider/file_provider_extension.h"
#include "extension/provider/file_provider_item.h"
#include "tests/extension/provider/recording_observers.h"
#include "tests/extension/provider/scoped_temporary_folder.h"
#include "tests/support/phone_sim.h"
#include "tests/support/temp_folder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <future>

using namespace fileprovider;

namespace {

class ProviderPhoneTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        phoneFolder = new testsupport::TempFolder;
        testsupport::writePatternFile(phoneFolder->file("DCIM/Camera/a.jpg"), 65537);
        testsupport::writePatternFile(phoneFolder->file("Music/song.mp3"), 10);
        testsupport::writePatternFile(phoneFolder->file("empty.txt"), 0);
        testsupport::PhoneSimOptions options;
        options.folder = phoneFolder->path();
        options.df = "2000000,500000,1500000";
        phone = new testsupport::PhoneSim(options);
    }
    static void TearDownTestSuite() {
        delete phone;
        delete phoneFolder;
    }

    Domain domain() const { return Domain{phone->serial(), "Sim"}; }

    std::pair<ItemPointer, std::optional<ProviderError>> lookUp(FileProviderExtension &extension, const ItemIdentifier &identifier) {
        std::promise<std::pair<ItemPointer, std::optional<ProviderError>>> answer;
        extension.itemForIdentifier(identifier, [&](ItemPointer item, const std::optional<ProviderError> &error) {
            answer.set_value({std::move(item), error});
        });
        auto future = answer.get_future();
        EXPECT_EQ(future.wait_for(std::chrono::seconds(20)), std::future_status::ready);
        return future.get();
    }

    struct Fetched {
        std::optional<QString> path;
        ItemPointer item;
        std::optional<ProviderError> error;
    };
    Fetched fetch(FileProviderExtension &extension, const ItemIdentifier &identifier) {
        std::promise<Fetched> answer;
        extension.fetchContentsForItemWithIdentifier(
            identifier, std::nullopt, [&](const std::optional<QString> &path, ItemPointer item, const std::optional<ProviderError> &error) {
                answer.set_value({path, std::move(item), error});
            });
        auto future = answer.get_future();
        EXPECT_EQ(future.wait_for(std::chrono::seconds(30)), std::future_status::ready);
        return future.get();
    }

    QStringList listedPaths(const ItemIdentifier &container) {
        FileProviderEnumerator enumerator(phone->serial(), container);
        auto observer = std::make_shared<RecordingEnumerationObserver>();
        enumerator.enumerateItemsForObserver(observer, Page{"a page from elsewhere"});
        EXPECT_TRUE(observer->waitForEnd());
        EXPECT_EQ(observer->calls, (QStringList{"didEnumerateItems", "finishEnumeratingUpToPage"}));
        QStringList paths;
        for (const ItemPointer &item : observer->items) {
            const auto *phoneItem = dynamic_cast<const FileProviderItem *>(item.get());
            EXPECT_EQ(item->itemIdentifier().text(), phoneItem->devicePath());
            paths.append(phoneItem->devicePath());
        }
        paths.sort();
        return paths;
    }

    ScopedTemporaryFolder temporaryFolder;
    static testsupport::TempFolder *phoneFolder;
    static testsupport::PhoneSim *phone;
};

testsupport::TempFolder *ProviderPhoneTest::phoneFolder = nullptr;
testsupport::PhoneSim *ProviderPhoneTest::phone = nullptr;

TEST_F(ProviderPhoneTest, EnumeratorsListThePhoneFolderFreshEachTime) {
    EXPECT_EQ(listedPaths(ItemIdentifier::rootContainer()), (QStringList{"/sdcard/DCIM", "/sdcard/Music", "/sdcard/empty.txt"}));
    EXPECT_EQ(listedPaths(ItemIdentifier("/sdcard/Music/")), QStringList{"/sdcard/Music/song.mp3"});
    EXPECT_EQ(listedPaths(ItemIdentifier("/sdcard/DCIM/Camera")), QStringList{"/sdcard/DCIM/Camera/a.jpg"});

    testsupport::writePatternFile(phoneFolder->file("Music/second.mp3"), 1);
    EXPECT_EQ(listedPaths(ItemIdentifier("/sdcard/Music")), (QStringList{"/sdcard/Music/second.mp3", "/sdcard/Music/song.mp3"}));
    QFile::remove(phoneFolder->file("Music/second.mp3"));
}

TEST_F(ProviderPhoneTest, AnEmptyOrMissingFolderListsAsAnEmptyArray) {
    QDir(phoneFolder->path()).mkdir("Empty");
    EXPECT_EQ(listedPaths(ItemIdentifier("/sdcard/Empty")), QStringList{});
    EXPECT_EQ(listedPaths(ItemIdentifier("/sdcard/not-there")), QStringList{});
}

TEST_F(ProviderPhoneTest, LookupsFindEntriesAndReportMissingPathsAsNoSuchItem) {
    FileProviderExtension extension(domain());
    auto [photo, photoError] = lookUp(extension, ItemIdentifier("/sdcard/DCIM/Camera/a.jpg"));
    ASSERT_TRUE(photo) << qPrintable(photoError->description);
    EXPECT_EQ(photo->documentSize(), 65537);
    EXPECT_EQ(photo->filename(), "a.jpg");
    EXPECT_EQ(photo->parentItemIdentifier(), ItemIdentifier("/sdcard/DCIM/Camera"));
    EXPECT_EQ(photo->contentModificationDate(),
              double(QFileInfo(phoneFolder->file("DCIM/Camera/a.jpg")).lastModified().toSecsSinceEpoch()));

    auto [camera, cameraError] = lookUp(extension, ItemIdentifier("/sdcard/DCIM/Camera"));
    ASSERT_TRUE(camera);
    EXPECT_TRUE(camera->isFolder());

    auto [missing, missingError] = lookUp(extension, ItemIdentifier("/sdcard/nothing/here"));
    EXPECT_FALSE(missing);
    ASSERT_TRUE(missingError);
    EXPECT_EQ(missingError->domain, ProviderError::fileProviderDomain);
    EXPECT_EQ(missingError->code, -1005);
}

TEST_F(ProviderPhoneTest, AnUnknownSerialIsTheServersRefusal) {
    FileProviderExtension extension(Domain{"no-such-phone", ""});
    auto [item, error] = lookUp(extension, ItemIdentifier("/sdcard/DCIM"));
    EXPECT_FALSE(item);
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->description.contains("not found")) << qPrintable(error->description);
}

TEST_F(ProviderPhoneTest, EachDownloadIsANewUuidFileInVaneFetch) {
    FileProviderExtension extension(domain());
    const Fetched first = fetch(extension, ItemIdentifier("/sdcard/DCIM/Camera/a.jpg"));
    const Fetched second = fetch(extension, ItemIdentifier("/sdcard/DCIM/Camera/a.jpg"));
    ASSERT_TRUE(first.path && second.path);
    EXPECT_NE(*first.path, *second.path);
    static const QRegularExpression uuid("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$");
    for (const Fetched *download : {&first, &second}) {
        EXPECT_EQ(QFileInfo(*download->path).absolutePath(), temporaryFolder.path() + "/vane-fetch");
        EXPECT_TRUE(uuid.match(QFileInfo(*download->path).fileName()).hasMatch()) << qPrintable(*download->path);
        EXPECT_EQ(testsupport::sha256OfFile(*download->path), testsupport::sha256OfFile(phoneFolder->file("DCIM/Camera/a.jpg")));
        EXPECT_EQ(download->item->documentSize(), 65537);
        EXPECT_FALSE(download->item->isFolder());
    }
    const Fetched empty = fetch(extension, ItemIdentifier("/sdcard/empty.txt"));
    ASSERT_TRUE(empty.path);
    EXPECT_EQ(QFileInfo(*empty.path).size(), 0);
    EXPECT_EQ(empty.item->documentSize(), 0);
}

TEST_F(ProviderPhoneTest, DownloadsOfMissingFilesAndFoldersFailWithThePhonesText) {
    FileProviderExtension extension(domain());
    const Fetched missing = fetch(extension, ItemIdentifier("/sdcard/gone.bin"));
    EXPECT_FALSE(missing.path);
    ASSERT_TRUE(missing.error);
    EXPECT_TRUE(missing.error->description.contains("No such file or directory")) << qPrintable(missing.error->description);
    const Fetched folder = fetch(extension, ItemIdentifier("/sdcard/DCIM"));
    EXPECT_FALSE(folder.path);
    ASSERT_TRUE(folder.error);
}

TEST_F(ProviderPhoneTest, StorageFiguresComeFromTheShellsDf) {
    FileProviderExtension extension(domain());
    std::promise<std::optional<StorageSpace>> answer;
    extension.storageSpace([&](const std::optional<StorageSpace> &space, const std::optional<ProviderError> &) {
        answer.set_value(space);
    });
    auto future = answer.get_future();
    ASSERT_EQ(future.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    EXPECT_EQ(future.get(), (StorageSpace{1500000LL * 1024, 2000000LL * 1024}));
}

} // namespace
