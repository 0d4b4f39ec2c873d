#include "platform/fileprovider/host/replicated_extension.h"

#include "platform/fileprovider/host/local_copy_stream.h"

#include <cerrno>

namespace fileprovider {

ProgressPointer ReplicatedExtension::createItemBasedOnTemplate(ItemPointer, ItemFields, const std::optional<ContentsFile> &,
                                                               CreateItemOptions, ChangeItemCompletion completion) {
    completion(nullptr, {}, false, ProviderError::fileProvider(FileProviderErrorCode::readOnly));
    return makeProgress();
}

ProgressPointer ReplicatedExtension::modifyItem(ItemPointer, const ItemVersion &, ItemFields, const std::optional<ContentsFile> &,
                                                ModifyItemOptions, ChangeItemCompletion completion) {
    completion(nullptr, {}, false, ProviderError::fileProvider(FileProviderErrorCode::readOnly));
    return makeProgress();
}

ProgressPointer ReplicatedExtension::deleteItemWithIdentifier(const ItemIdentifier &, const ItemVersion &, DeleteItemOptions,
                                                              DeleteItemCompletion completion) {
    completion(ProviderError::fileProvider(FileProviderErrorCode::readOnly));
    return makeProgress();
}

ProgressPointer ReplicatedExtension::storageSpace(StorageSpaceCompletion completion) {
    completion(std::nullopt, ProviderError::fileProvider(FileProviderErrorCode::featureUnsupported));
    return makeProgress();
}

ProgressPointer ReplicatedExtension::openContentsForItemWithIdentifier(const ItemIdentifier &identifier, ItemPointer,
                                                                       OpenContentsCompletion completion) {
    return fetchContentsForItemWithIdentifier(
        identifier, std::nullopt,
        [completion](const std::optional<QString> &localPath, ItemPointer item, const std::optional<ProviderError> &error) {
            if (error || !localPath) return completion(nullptr, nullptr, error ? *error : ProviderError::posix(EIO));
            auto opened = LocalCopyStream::open(*localPath);
            if (auto *failure = std::get_if<ProviderError>(&opened)) return completion(nullptr, nullptr, *failure);
            completion(std::get<ContentStreamPointer>(opened), std::move(item), std::nullopt);
        });
}

std::optional<ItemIdentifier> ReplicatedExtension::identifierForChild(const ItemIdentifier &, const QString &) const {
    return std::nullopt;
}

} // namespace fileprovider
