#include "platform/fileprovider/host/replicated_extension.h"

namespace fileprovider {

ProgressPointer ReplicatedExtension::createItemBasedOnTemplate(ItemPointer, ItemFields, const std::optional<QString> &,
                                                               CreateItemOptions, ChangeItemCompletion completion) {
    completion(nullptr, {}, false, ProviderError::fileProvider(FileProviderErrorCode::readOnly));
    return makeProgress();
}

ProgressPointer ReplicatedExtension::modifyItem(ItemPointer, const ItemVersion &, ItemFields, const std::optional<QString> &,
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

std::optional<ItemIdentifier> ReplicatedExtension::identifierForChild(const ItemIdentifier &, const QString &) const {
    return std::nullopt;
}

} // namespace fileprovider
