#pragma once

#include "platform/fileprovider/host/content_stream.h"
#include "platform/fileprovider/host/contents_file.h"
#include "platform/fileprovider/host/domain.h"
#include "platform/fileprovider/host/enumeration.h"
#include "platform/fileprovider/host/item.h"
#include "platform/fileprovider/host/progress.h"
#include "platform/fileprovider/host/provider_error.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace fileprovider {

// Exactly one of item and error is set in every completion that has both.
using ItemCompletion = std::function<void(ItemPointer item, const std::optional<ProviderError> &error)>;
// `localPath`: a file the system takes over; it removes the file once done with it.
using FetchContentsCompletion =
    std::function<void(const std::optional<QString> &localPath, ItemPointer item, const std::optional<ProviderError> &error)>;
// `stillPendingFields`: fields the extension could not apply yet;
// `shouldFetchContent`: the system should download the contents again.
using ChangeItemCompletion = std::function<void(ItemPointer item, ItemFields stillPendingFields, bool shouldFetchContent,
                                                const std::optional<ProviderError> &error)>;
using DeleteItemCompletion = std::function<void(const std::optional<ProviderError> &error)>;

// The space of the storage behind a domain, in bytes.
struct StorageSpace {
    qint64 freeBytes = 0;
    qint64 totalBytes = 0;
    friend bool operator==(const StorageSpace &, const StorageSpace &) = default;
};
using StorageSpaceCompletion = std::function<void(const std::optional<StorageSpace> &space, const std::optional<ProviderError> &error)>;

// keepWithdrawnContents: new contents that arrived whole before the request
// was cancelled through its progress are kept where the extension put them,
// and the request answers with that item; the caller removes it.
enum class CreateItemOption : unsigned { mayAlreadyExist = 1, deletionConflicted = 2, keepWithdrawnContents = 4 };
Q_DECLARE_FLAGS(CreateItemOptions, CreateItemOption)
enum class ModifyItemOption : unsigned { mayAlreadyExist = 1, keepWithdrawnContents = 2 };
Q_DECLARE_FLAGS(ModifyItemOptions, ModifyItemOption)
enum class DeleteItemOption : unsigned { recursive = 1 };
Q_DECLARE_FLAGS(DeleteItemOptions, DeleteItemOption)

// What the system asks of an extension for one domain. Every request but
// the enumerator hand-out returns at once and calls its completion exactly
// once, from any thread. Requests may arrive on many threads at a time.
//
// Requests that change items answer `readOnly` unless the extension offers
// them; the optional storage request answers `featureUnsupported`.
class ReplicatedExtension {
public:
    virtual ~ReplicatedExtension() = default;

    virtual void invalidate() = 0;

    virtual ProgressPointer itemForIdentifier(const ItemIdentifier &identifier, ItemCompletion completion) = 0;
    virtual ProgressPointer fetchContentsForItemWithIdentifier(const ItemIdentifier &identifier,
                                                               const std::optional<ItemVersion> &requestedVersion,
                                                               FetchContentsCompletion completion) = 0;
    virtual std::unique_ptr<Enumerator> enumeratorForContainerItemIdentifier(const ItemIdentifier &container) = 0;
    // The file's bytes as they arrive, for readers that need not wait for
    // the whole file. Without an extension's own, the whole file is fetched
    // first and read from its local copy. `knownItem`, when given, is the
    // item as the extension described it moments ago: it need not be looked
    // up again.
    virtual ProgressPointer openContentsForItemWithIdentifier(const ItemIdentifier &identifier, ItemPointer knownItem,
                                                              OpenContentsCompletion completion);

    // `itemTemplate` gives the parent, the name and the type;
    // `contents` the new file's bytes (none for folders and empty files).
    virtual ProgressPointer createItemBasedOnTemplate(ItemPointer itemTemplate, ItemFields fields,
                                                      const std::optional<ContentsFile> &contents, CreateItemOptions options,
                                                      ChangeItemCompletion completion);
    // `item` carries the new values of `changedFields`.
    virtual ProgressPointer modifyItem(ItemPointer item, const ItemVersion &baseVersion, ItemFields changedFields,
                                       const std::optional<ContentsFile> &contents, ModifyItemOptions options,
                                       ChangeItemCompletion completion);
    virtual ProgressPointer deleteItemWithIdentifier(const ItemIdentifier &identifier, const ItemVersion &baseVersion,
                                                     DeleteItemOptions options, DeleteItemCompletion completion);

    virtual ProgressPointer storageSpace(StorageSpaceCompletion completion);

    // Where the identifier of a child can be known without asking the
    // storage, the extension says so; otherwise the system lists the parent.
    virtual std::optional<ItemIdentifier> identifierForChild(const ItemIdentifier &parent, const QString &filename) const;
};

// Makes the extension for a domain, as the system does when the domain is
// first needed.
using ExtensionFactory = std::function<std::unique_ptr<ReplicatedExtension>(const Domain &domain)>;

} // namespace fileprovider
