#pragma once

#include "platform/fileprovider/host/item.h"
#include "platform/fileprovider/host/provider_error.h"

#include <QByteArray>
#include <QList>

#include <functional>
#include <memory>
#include <optional>

namespace fileprovider {

// Where a listing goes on; the extension's own bytes.
struct Page {
    QByteArray bytes;
    // Where every listing starts.
    static Page initial() { return {}; }
    friend bool operator==(const Page &, const Page &) = default;
};

// A point in a folder's history of changes; the extension's own bytes.
struct SyncAnchor {
    QByteArray bytes;
    friend bool operator==(const SyncAnchor &, const SyncAnchor &) = default;
};

// Receives one listing. Calls come from any thread: didEnumerateItems any
// number of times, then exactly one of the two finishing calls.
class EnumerationObserver {
public:
    virtual ~EnumerationObserver() = default;
    virtual void didEnumerateItems(const QList<ItemPointer> &items) = 0;
    // `nextPage` none: the listing is complete.
    virtual void finishEnumeratingUpToPage(const std::optional<Page> &nextPage) = 0;
    virtual void finishEnumeratingWithError(const ProviderError &error) = 0;
};

// Receives the changes since an anchor, then exactly one finishing call.
class ChangeObserver {
public:
    virtual ~ChangeObserver() = default;
    virtual void didUpdateItems(const QList<ItemPointer> &items) = 0;
    virtual void didDeleteItemsWithIdentifiers(const QList<ItemIdentifier> &identifiers) = 0;
    virtual void finishEnumeratingChangesUpToSyncAnchor(const SyncAnchor &anchor, bool moreComing) = 0;
    virtual void finishEnumeratingWithError(const ProviderError &error) = 0;
};

using EnumerationObserverPointer = std::shared_ptr<EnumerationObserver>;
using ChangeObserverPointer = std::shared_ptr<ChangeObserver>;
using SyncAnchorCompletion = std::function<void(const std::optional<SyncAnchor> &)>;

// Lists one container for the system.
class Enumerator {
public:
    virtual ~Enumerator() = default;
    virtual void invalidate() = 0;
    virtual void enumerateItemsForObserver(EnumerationObserverPointer observer, const Page &startPage) = 0;
    virtual void enumerateChangesForObserver(ChangeObserverPointer observer, const SyncAnchor &fromAnchor) = 0;
    virtual void currentSyncAnchor(const SyncAnchorCompletion &completion) = 0;
};

} // namespace fileprovider
