#pragma once

#include "extension/provider/file_provider_item.h"
#include "extension/provider/phone_access.h"
#include "platform/fileprovider/host/item.h"

#include <QString>

#include <memory>
#include <optional>

// What a change request asks of the phone, worked out from the item's new
// values: new contents are written to the old path first, then the entry
// is moved or renamed.
struct PlannedChange {
    QString currentPath;
    std::optional<QString> uploadFrom;
    // Only when it differs from currentPath.
    std::optional<QString> moveTo;

    friend bool operator==(const PlannedChange &, const PlannedChange &) = default;
};

PlannedChange planChange(const QString &currentPath, fileprovider::ItemFields changedFields, const fileprovider::Item &item,
                         const std::optional<QString> &contentsPath);

// Each of these runs on the phone and reads the result back. The phone's
// shell reports no exit status, so what a command did is judged by what is
// there afterwards; a change that did not happen throws ChangeFailure, and
// the client's own failures are thrown unchanged.
//
// A folder is made with mkdir (any contents are ignored), a file with
// contents is uploaded, an empty one made with touch.
std::shared_ptr<FileProviderItem> createOnPhone(const PhoneAccess &phone, const QString &path, bool wantFolder,
                                                const std::optional<QString> &contentsPath);
std::shared_ptr<FileProviderItem> changeOnPhone(const PhoneAccess &phone, const PlannedChange &change);
// Folders go with everything in them. The storage folder itself, and
// anything that is not below it, is never deleted.
void deleteOnPhone(const PhoneAccess &phone, const QString &path);
