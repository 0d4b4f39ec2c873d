#include "extension/provider/item_changes.h"

#include "extension/provider/change_failure.h"
#include "extension/provider/client_error_bridge.h"
#include "extension/provider/device_paths.h"
#include "extension/provider/shell_commands.h"

#include <QDateTime>
#include <QDir>

#include <cerrno>

using namespace fileprovider;

namespace {

Timestamp now() { return static_cast<Timestamp>(QDateTime::currentMSecsSinceEpoch()) / 1000.0; }

// The phone's own words say why, where it printed any.
ChangeFailure notCarriedOut(const QString &what, const QString &output) {
    const QString said = output.trimmed();
    const int code = posixCodeForRefusal(said).value_or(EIO);
    return ChangeFailure(ProviderError::posix(code, said.isEmpty() ? what + u'.' : what + QStringLiteral(": ") + said));
}

std::shared_ptr<FileProviderItem> itemAt(const QString &path, const std::optional<AdbEntry> &entry, bool directoryWithoutEntry) {
    if (entry) return FileProviderItem::looked(path, *entry);
    return std::make_shared<FileProviderItem>(path, directoryWithoutEntry, 0, now());
}

bool isBelowStorage(const QString &path) {
    const QString cleaned = QDir::cleanPath(path);
    return cleaned.startsWith(deviceRoot + u'/') && cleaned.size() > deviceRoot.size() + 1;
}

} // namespace

PlannedChange planChange(const QString &currentPath, ItemFields changedFields, const Item &item,
                         const std::optional<QString> &contentsPath) {
    PlannedChange plan{currentPath, std::nullopt, std::nullopt};
    if (changedFields.testFlag(ItemField::contents) && contentsPath) plan.uploadFrom = contentsPath;
    const bool newParent = changedFields.testFlag(ItemField::parentItemIdentifier);
    const bool newName = changedFields.testFlag(ItemField::filename);
    if (newParent || newName) {
        const QString parent = newParent ? devicePathFor(item.parentItemIdentifier()) : deletingLastPathComponent(currentPath);
        const QString name = newName ? item.filename() : lastPathComponent(currentPath);
        const QString target = childPath(parent, name);
        if (target != currentPath) plan.moveTo = target;
    }
    return plan;
}

std::shared_ptr<FileProviderItem> createOnPhone(const PhoneAccess &phone, const QString &path, bool wantFolder,
                                                const std::optional<QString> &contentsPath) {
    if (wantFolder) {
        const QString output = phone.shell(makeFolderCommand(path));
        const std::optional<AdbEntry> entry = phone.stat(path);
        if (!entry || !entry->isDirectory) throw notCarriedOut(QStringLiteral("The phone did not create the folder ") + path, output);
        return FileProviderItem::looked(path, *entry);
    }
    if (contentsPath) {
        // The phone confirmed the upload; should the file be gone already
        // (a phone app took it), the item still tells what was written.
        phone.push(*contentsPath, path, AdbClient::regularFileMode);
        return itemAt(path, phone.stat(path), false);
    }
    const QString output = phone.shell(touchFileCommand(path));
    const std::optional<AdbEntry> entry = phone.stat(path);
    if (!entry) throw notCarriedOut(QStringLiteral("The phone did not create the file ") + path, output);
    return FileProviderItem::looked(path, *entry);
}

std::shared_ptr<FileProviderItem> changeOnPhone(const PhoneAccess &phone, const PlannedChange &change) {
    if (change.uploadFrom) phone.push(*change.uploadFrom, change.currentPath, AdbClient::regularFileMode);
    if (!change.moveTo) return itemAt(change.currentPath, phone.stat(change.currentPath), false);

    const QString output = phone.shell(moveCommand(change.currentPath, *change.moveTo));
    const std::optional<AdbEntry> moved = phone.stat(*change.moveTo);
    // On storage that ignores case, a new spelling of the same name still
    // finds the old one.
    const bool sameName = change.currentPath.compare(*change.moveTo, Qt::CaseInsensitive) == 0;
    const bool sourceStayed = !sameName && phone.stat(change.currentPath).has_value();
    if (!moved || sourceStayed) {
        throw notCarriedOut(QStringLiteral("The phone did not move %1 to %2").arg(change.currentPath, *change.moveTo), output);
    }
    return FileProviderItem::looked(*change.moveTo, *moved);
}

void deleteOnPhone(const PhoneAccess &phone, const QString &path) {
    if (!isBelowStorage(path)) {
        ProviderError refused = ProviderError::fileProvider(FileProviderErrorCode::deletionRejected);
        refused.description = QDir::cleanPath(path) == deviceRoot
                                  ? QStringLiteral("The phone's storage folder itself cannot be deleted.")
                                  : QStringLiteral("Only items in the phone's storage can be deleted, not %1.").arg(path);
        throw ChangeFailure(std::move(refused));
    }
    const QString output = phone.shell(deleteCommand(path));
    if (phone.stat(path)) throw notCarriedOut(QStringLiteral("The phone did not delete ") + path, output);
}
