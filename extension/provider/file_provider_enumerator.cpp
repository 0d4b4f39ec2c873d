#include "extension/provider/file_provider_enumerator.h"

#include "extension/provider/client_error_bridge.h"
#include "extension/provider/device_paths.h"
#include "extension/provider/file_provider_item.h"
#include "extension/provider/provider_job.h"

using namespace fileprovider;

namespace {

std::optional<QString> containerPathFor(const ItemIdentifier &container) {
    if (container == ItemIdentifier::workingSet() || container == ItemIdentifier::trashContainer()) return std::nullopt;
    return devicePathFor(container);
}

} // namespace

FileProviderEnumerator::FileProviderEnumerator(QString serial, const ItemIdentifier &container, quint16 serverPort,
                                               std::shared_ptr<SyncConnectionPool> syncPool)
    : serial_(std::move(serial)), containerPath_(containerPathFor(container)), anchor_{QByteArrayLiteral("v1")},
      serverPort_(serverPort), syncPool_(std::move(syncPool)) {}

void FileProviderEnumerator::enumerateItemsForObserver(EnumerationObserverPointer observer, const Page &) {
    if (!containerPath_) {
        observer->finishEnumeratingUpToPage(std::nullopt);
        return;
    }
    runProviderJob(
        [client = AdbClient(serial_, serverPort_, syncPool_), containerPath = *containerPath_, observer] {
            const QList<AdbEntry> entries = client.list(containerPath);
            QList<ItemPointer> items;
            items.reserve(entries.size());
            for (const AdbEntry &entry : entries) items.append(FileProviderItem::listed(containerPath, entry));
            observer->didEnumerateItems(items);
            observer->finishEnumeratingUpToPage(std::nullopt);
        },
        [observer](const ProviderError &error) { observer->finishEnumeratingWithError(error); });
}

void FileProviderEnumerator::enumerateChangesForObserver(ChangeObserverPointer observer, const SyncAnchor &fromAnchor) {
    observer->finishEnumeratingChangesUpToSyncAnchor(fromAnchor, false);
}

void FileProviderEnumerator::currentSyncAnchor(const SyncAnchorCompletion &completion) { completion(anchor_); }
