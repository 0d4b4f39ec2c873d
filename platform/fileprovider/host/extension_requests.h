#pragma once

#include "platform/fileprovider/host/awaited.h"
#include "platform/fileprovider/host/outcome.h"
#include "platform/fileprovider/host/replicated_extension.h"

#include <QList>
#include <QString>

#include <functional>
#include <variant>

namespace fileprovider {

// A change request under way; its outcome arrives later. Its progress,
// when the extension gave one, can withdraw it.
struct ChangeUnderWay : Awaited<Outcome<ItemPointer>> {
    ProgressPointer progress;
};
using PendingChange = std::shared_ptr<ChangeUnderWay>;

struct Download {
    QString localPath;
    ItemPointer item;
};

struct OpenedContents {
    ContentStreamPointer stream;
    ItemPointer item;
};

// The extension's requests as blocking calls: each makes one request and
// waits for its completion on the calling thread. Waits end early, with an
// error, once `abandoned` says the mount is going away. `changing` is told
// as every change request starts and as it ends.
class ExtensionRequests {
public:
    ExtensionRequests(ReplicatedExtension &extension, std::function<bool()> abandoned, std::function<void()> changing = {})
        : extension_(extension), abandoned_(std::move(abandoned)), changing_(std::move(changing)) {}

    Outcome<ItemPointer> item(const ItemIdentifier &identifier) const;
    // Every page of the container's listing.
    Outcome<QList<ItemPointer>> contents(const ItemIdentifier &container) const;
    Outcome<Download> download(const ItemIdentifier &identifier) const;
    Outcome<OpenedContents> openContents(const ItemIdentifier &identifier, ItemPointer knownItem = nullptr) const;
    Outcome<StorageSpace> storageSpace() const;
    Outcome<ItemPointer> create(ItemPointer itemTemplate, const std::optional<ContentsFile> &newContents) const;
    Outcome<ItemPointer> modify(ItemPointer item, const ItemVersion &baseVersion, ItemFields changedFields,
                                const std::optional<ContentsFile> &newContents) const;
    // The same two, to be finished later. Made `besideCaller`, the change
    // runs on a thread of its own, so that the caller can go on feeding it;
    // otherwise it is done before the call returns.
    PendingChange beginCreate(ItemPointer itemTemplate, const std::optional<ContentsFile> &newContents, CreateItemOptions options = {},
                              bool besideCaller = false) const;
    PendingChange beginModify(ItemPointer item, const ItemVersion &baseVersion, ItemFields changedFields,
                              const std::optional<ContentsFile> &newContents, ModifyItemOptions options = {}, bool besideCaller = false) const;
    Outcome<ItemPointer> finish(const PendingChange &change) const;
    bool abandoned() const { return abandoned_ && abandoned_(); }
    // Tells the extension to end all its work at once: the mount is going away.
    void interruptAll() const { extension_.invalidate(); }
    std::optional<ProviderError> remove(const ItemIdentifier &identifier, const ItemVersion &baseVersion) const;
    // The extension's own answer where it has one; otherwise found by name
    // in the parent's listing.
    Outcome<ItemIdentifier> childIdentifier(const ItemIdentifier &parent, const QString &filename) const;

    // The error of a wait that was given up.
    static ProviderError abandonedError();

private:
    void noteChange() const {
        if (changing_) changing_();
    }

    ReplicatedExtension &extension_;
    std::function<bool()> abandoned_;
    std::function<void()> changing_;
};

} // namespace fileprovider
