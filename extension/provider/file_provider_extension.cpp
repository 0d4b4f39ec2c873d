#include "extension/provider/file_provider_extension.h"

#include "extension/adbclient/live_connections.h"
#include "extension/provider/device_paths.h"
#include "extension/provider/domain_identifier.h"
#include "extension/provider/file_provider_enumerator.h"
#include "extension/provider/file_provider_item.h"
#include "extension/provider/item_changes.h"
#include "extension/provider/phone_contents.h"
#include "extension/provider/provider_job.h"
#include "extension/provider/storage_report_reader.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QUuid>

#include <cerrno>

using namespace fileprovider;

namespace {

Timestamp now() { return static_cast<Timestamp>(QDateTime::currentMSecsSinceEpoch()) / 1000.0; }

} // namespace

FileProviderExtension::FileProviderExtension(const Domain &domain, quint16 serverPort, bool mediaScan)
    : serial_(serialForDomainIdentifier(domain.identifier)), tempDir_(QDir::tempPath() + QStringLiteral("/vane-fetch")),
      serverPort_(serverPort), syncPool_(SyncConnectionPool::create()),
      mediaScanner_(std::make_shared<MediaScanner>(AdbClient(serial_, serverPort_), mediaScan)) {
    // Downloads into a folder that could not be made fail on their own, with
    // the file error that says why.
    QDir().mkpath(tempDir_);
}

void FileProviderExtension::invalidate() { LiveConnections::interruptAll(); }

ProgressPointer FileProviderExtension::itemForIdentifier(const ItemIdentifier &identifier, ItemCompletion completion) {
    if (identifier == ItemIdentifier::rootContainer()) {
        completion(FileProviderItem::rootItem(), std::nullopt);
        return makeProgress();
    }
    runProviderJob(
        [client = client(), path = devicePathFor(identifier), completion] {
            const std::optional<AdbEntry> entry = client.stat(path);
            if (!entry) return completion(nullptr, ProviderError::fileProvider(FileProviderErrorCode::noSuchItem));
            completion(FileProviderItem::looked(path, *entry), std::nullopt);
        },
        [completion](const ProviderError &error) { completion(nullptr, error); });
    return makeProgress();
}

ProgressPointer FileProviderExtension::fetchContentsForItemWithIdentifier(const ItemIdentifier &identifier,
                                                                          const std::optional<ItemVersion> &,
                                                                          FetchContentsCompletion completion) {
    const QString localPath = tempDir_ + u'/' + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    runProviderJob(
        [client = client(), path = devicePathFor(identifier), localPath, completion] {
            client.pull(path, localPath);
            const std::optional<AdbEntry> entry = client.stat(path);
            // Gone again since its transfer: the copy itself tells the size.
            const qint64 size = entry ? entry->size : QFileInfo(localPath).size();
            const Timestamp modified = entry ? entry->modified : now();
            completion(localPath, std::make_shared<FileProviderItem>(path, false, size, modified), std::nullopt);
        },
        [completion](const ProviderError &error) { completion(std::nullopt, nullptr, error); });
    return makeProgress();
}

std::unique_ptr<Enumerator> FileProviderExtension::enumeratorForContainerItemIdentifier(const ItemIdentifier &container) {
    return std::make_unique<FileProviderEnumerator>(serial_, container, serverPort_, syncPool_);
}

ProgressPointer FileProviderExtension::openContentsForItemWithIdentifier(const ItemIdentifier &identifier, ItemPointer knownItem,
                                                                         OpenContentsCompletion completion) {
    runProviderJob(
        [client = client(), path = devicePathFor(identifier), knownItem, completion] {
            const std::optional<qint64> knownSize = knownItem && !knownItem->isFolder() ? knownItem->documentSize() : std::nullopt;
            // A small file just looked up is only fetched: its transfer tells its size.
            if (knownSize && *knownSize < PhoneContents::smallFileLimit) {
                auto contents = PhoneContents::open(client, path, *knownSize, std::nullopt);
                const qint64 size = contents->knownSize().value_or(0);
                return completion(std::move(contents),
                                  std::make_shared<FileProviderItem>(path, false, size, knownItem->contentModificationDate().value_or(now())),
                                  std::nullopt);
            }
            std::optional<AdbEntry> entry;
            std::optional<PullStream> transfer;
            if (knownSize) {
                // A large one is only looked at: its bytes are asked for once a read
                // wants them, so a jump to its end (a thumbnailer, tail) does not
                // fill the link with a transfer nobody reads.
                entry = client.stat(path);
            } else {
                // The bytes start on their way in the same round trip that looks the file up.
                AdbClient::StatedPull stated = client.statAndOpenPull(path);
                entry = std::move(stated.entry);
                if (stated.transfer) transfer.emplace(std::move(*stated.transfer));
            }
            if (!entry) return completion(nullptr, nullptr, ProviderError::fileProvider(FileProviderErrorCode::noSuchItem));
            if (entry->isDirectory) return completion(nullptr, nullptr, ProviderError::posix(EISDIR));
            std::shared_ptr<PhoneContents> contents = PhoneContents::open(client, path, entry->size, std::move(transfer), entry->wholeSize);
            const qint64 size = contents->knownSize().value_or(entry->size);
            completion(std::move(contents), std::make_shared<FileProviderItem>(path, false, size, entry->modified), std::nullopt);
        },
        [completion](const ProviderError &error) { completion(nullptr, nullptr, error); });
    return makeProgress();
}

ProgressPointer FileProviderExtension::createItemBasedOnTemplate(ItemPointer itemTemplate, ItemFields,
                                                                 const std::optional<ContentsFile> &contents, CreateItemOptions options,
                                                                 ChangeItemCompletion completion) {
    const QString path = childPath(devicePathFor(itemTemplate->parentItemIdentifier()), itemTemplate->filename());
    // Only the folder type itself: a package or other folder-like type is a file.
    const bool wantFolder = itemTemplate->contentType() == ContentType::folder();
    ProgressPointer progress = makeProgress();
    // A time the template carries rides the upload.
    runProviderJob(
        [phone = AdbPhoneAccess(client()), path, wantFolder, contents, completion, leftovers = leftovers_,
         modified = modificationTimeOf(itemTemplate),
         end = uploadEndOf(progress, options.testFlag(CreateItemOption::keepWithdrawnContents)), scanner = mediaScanner_] {
            leftovers->removeRemembered(phone);
            auto created = createOnPhone(phone, path, wantFolder, contents, *leftovers, modified, end);
            if (!wantFolder) scanner->contentsChanged(created->devicePath());
            completion(std::move(created), {}, false, std::nullopt);
        },
        [completion](const ProviderError &error) { completion(nullptr, {}, false, error); });
    return progress;
}

ProgressPointer FileProviderExtension::modifyItem(ItemPointer item, const ItemVersion &, ItemFields changedFields,
                                                  const std::optional<ContentsFile> &contents, ModifyItemOptions options,
                                                  ChangeItemCompletion completion) {
    PlannedChange plan = planChange(devicePathFor(item->itemIdentifier()), changedFields, item, contents);
    ProgressPointer progress = makeProgress();
    plan.uploadEnd = uploadEndOf(progress, options.testFlag(ModifyItemOption::keepWithdrawnContents));
    runProviderJob(
        [phone = AdbPhoneAccess(client()), plan, completion, leftovers = leftovers_, scanner = mediaScanner_] {
            leftovers->removeRemembered(phone);
            auto changed = changeOnPhone(phone, plan, *leftovers);
            if (plan.moveTo) scanner->moved(plan.currentPath, changed->devicePath());
            if (plan.uploadFrom && !changed->isDirectory()) scanner->contentsChanged(changed->devicePath());
            completion(std::move(changed), {}, false, std::nullopt);
        },
        [completion](const ProviderError &error) { completion(nullptr, {}, false, error); });
    return progress;
}

ProgressPointer FileProviderExtension::deleteItemWithIdentifier(const ItemIdentifier &identifier, const ItemVersion &,
                                                                DeleteItemOptions, DeleteItemCompletion completion) {
    runProviderJob(
        [phone = AdbPhoneAccess(client()), path = devicePathFor(identifier), completion, leftovers = leftovers_, scanner = mediaScanner_] {
            leftovers->removeRemembered(phone);
            deleteOnPhone(phone, path);
            scanner->removed(path);
            completion(std::nullopt);
        },
        [completion](const ProviderError &error) { completion(error); });
    return makeProgress();
}

ProgressPointer FileProviderExtension::storageSpace(StorageSpaceCompletion completion) {
    runProviderJob(
        [client = client(), completion] {
            const QString output = client.shell(QStringLiteral("df -k ") + deviceRoot);
            const auto space = readStorageReport(output);
            if (!space) {
                return completion(std::nullopt,
                                  ProviderError::posix(EIO, QStringLiteral("The phone's storage figures could not be read: ") +
                                                                output.trimmed().left(200)));
            }
            completion(*space, std::nullopt);
        },
        [completion](const ProviderError &error) { completion(std::nullopt, error); });
    return makeProgress();
}

std::optional<ItemIdentifier> FileProviderExtension::identifierForChild(const ItemIdentifier &parent, const QString &filename) const {
    return identifierForDevicePath(childPath(devicePathFor(parent), filename));
}
