#pragma once

#include "extension/provider/file_provider_item.h"
#include "extension/provider/phone_access.h"
#include "extension/provider/upload_leftovers.h"
#include "platform/fileprovider/host/contents_file.h"
#include "platform/fileprovider/host/item.h"
#include "platform/fileprovider/host/progress.h"

#include <QString>

#include <memory>
#include <optional>

// How an upload's end is judged. A stream ends for good only at its
// writer's word; a withdrawn upload is kept only where asked for.
struct UploadEnd {
    // True once the request was withdrawn: new contents that arrived whole
    // are then still not moved over the file.
    std::function<bool()> withdrawn = {};
    // Contents that arrived whole before the request was withdrawn are kept
    // under their hidden name, and the answer is that file.
    bool keepWithdrawn = false;
    AdbClient::StreamEnd streamComplete = {};
};

// Read from the request's progress, where the host withdraws the request or
// declares its streamed contents complete.
UploadEnd uploadEndOf(const fileprovider::ProgressPointer &progress, bool keepWithdrawn);

// What a change request asks of the phone, worked out from the item's new
// values: new contents replace the file at the old path first, then the
// entry is moved or renamed.
struct PlannedChange {
    QString currentPath;
    std::optional<fileprovider::ContentsFile> uploadFrom;
    // Only when it differs from currentPath.
    std::optional<QString> moveTo;
    // Set when a modification time was asked for; read once the new
    // contents are out, so a time set while they were written still counts.
    AdbClient::ModifiedAtEnd newModified = {};
    UploadEnd uploadEnd = {};

    friend bool operator==(const PlannedChange &a, const PlannedChange &b) {
        return a.currentPath == b.currentPath && a.uploadFrom == b.uploadFrom && a.moveTo == b.moveTo &&
               bool(a.newModified) == bool(b.newModified);
    }
};

PlannedChange planChange(const QString &currentPath, fileprovider::ItemFields changedFields, const fileprovider::ItemPointer &item,
                         const std::optional<fileprovider::ContentsFile> &contents);

// The item's modification time in whole seconds, read when it is called.
AdbClient::ModifiedAtEnd modificationTimeOf(const fileprovider::ItemPointer &item);

// Where new contents for `path` go until they are whole: a hidden name in
// the same folder, so that the move over the old file is atomic.
QString temporaryUploadPath(const QString &path);

// Each of these runs on the phone and reads the result back. The phone's
// shell reports no exit status, so what a command did is judged by what is
// there afterwards; a change that did not happen throws ChangeFailure, and
// the client's own failures are thrown unchanged.
//
// A folder is made with mkdir (any contents are ignored), a file with
// contents is uploaded (stamped with `modified` when it gives a time), an
// empty one made with touch. Contents that are large or still being written
// wait under a hidden name until they are whole, as replacements do, so
// that a cut upload never stands as the file.
std::shared_ptr<FileProviderItem> createOnPhone(const PhoneAccess &phone, const QString &path, bool wantFolder,
                                                const std::optional<fileprovider::ContentsFile> &contents, UploadLeftovers &leftovers,
                                                const AdbClient::ModifiedAtEnd &modified = {}, const UploadEnd &uploadEnd = {});
// New contents never replace the old ones until the phone holds them whole:
// a failed upload leaves the file as it was, and its temporary file goes
// (now, or through `leftovers` once the phone is back). A withdrawn one the
// change asked to keep answers with its temporary file instead.
std::shared_ptr<FileProviderItem> changeOnPhone(const PhoneAccess &phone, const PlannedChange &change, UploadLeftovers &leftovers);
// Folders go with everything in them. The storage folder itself, and
// anything that is not below it, is never deleted.
void deleteOnPhone(const PhoneAccess &phone, const QString &path);
