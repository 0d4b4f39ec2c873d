#include "extension/provider/item_changes.h"

#include "extension/provider/change_failure.h"
#include "extension/provider/client_error_bridge.h"
#include "extension/provider/device_paths.h"
#include "extension/provider/shell_commands.h"
#include "platform/posix/file_system_name.h"

#include "extension/adbclient/adb_client_error.h"
#include "extension/adbclient/live_connections.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <sys/stat.h>
#include <thread>

using namespace fileprovider;

namespace {

Timestamp now() { return static_cast<Timestamp>(QDateTime::currentMSecsSinceEpoch()) / 1000.0; }

// The phone's own words say why, where it printed any.
ChangeFailure notCarriedOut(const QString &what, const QString &output) {
    const QString said = output.trimmed();
    const int code = errnoOfRefusal(said).value_or(EIO);
    return ChangeFailure(ProviderError::posix(code, said.isEmpty() ? what + u'.' : what + QStringLiteral(": ") + said));
}

std::shared_ptr<FileProviderItem> itemAt(const QString &path, const std::optional<AdbEntry> &entry, bool directoryWithoutEntry) {
    if (entry) return FileProviderItem::looked(path, *entry);
    return std::make_shared<FileProviderItem>(path, directoryWithoutEntry, 0, now());
}

// Files up to this size are uploaded straight to their name.
constexpr qint64 inPlaceUpTo = 1 << 20;

// What the phone's sync records can tell apart: whole seconds in 32 bits.
constexpr qint64 latestPhoneTime = 0xffffffffLL;

// Sets the file's modification time with touch and checks that it took.
AdbEntry setModifiedOnPhone(const PhoneAccess &phone, const QString &path, qint64 seconds) {
    if (seconds < 0 || seconds > latestPhoneTime) {
        throw ChangeFailure(ProviderError::posix(EINVAL, QStringLiteral("The phone keeps no modification time before 1970 or after 2106.")));
    }
    const QString said = phone.shell(setModifiedCommand(path, seconds)).trimmed();
    const std::optional<AdbEntry> entry = phone.stat(path);
    if (!entry) throw notCarriedOut(QStringLiteral("The phone has no file ") + path, said);
    if (qint64(entry->modified) != seconds) {
        const QString what = QStringLiteral("The phone did not take the new modification time of ") + path;
        throw ChangeFailure(ProviderError::posix(EPERM, said.isEmpty() ? what + u'.' : what + QStringLiteral(": ") + said));
    }
    return *entry;
}

// A requested time the upload's DONE did not leave on the file (some
// phones ignore it) is set the other way.
AdbEntry keepRequestedTime(const PhoneAccess &phone, const QString &path, const AdbEntry &entry, const AdbClient::ModifiedAtEnd &modified,
                           quint32 sentTime) {
    if (!modified || qint64(entry.modified) == qint64(sentTime)) return entry;
    return setModifiedOnPhone(phone, path, sentTime);
}

// Where new contents ended up: over the file, or kept aside when withdrawn.
struct NewContents {
    QString path;
    AdbEntry entry;
};

// How long a move whose answer was cut off is looked after, so that a
// change the phone did make is not reported as failed.
constexpr auto outcomeWait = std::chrono::seconds(2);

using Found = std::pair<std::optional<AdbEntry>, std::optional<AdbEntry>>;

// The hidden file and the file after a move; when the link failed on the
// way, asked again while it may come back.
Found afterMove(const PhoneAccess &phone, const QString &temporary, const QString &path, const QString &command, QString &output) {
    try {
        output = phone.shell(command);
        return phone.statBoth(temporary, path);
    } catch (const AdbClientError &) {
        // A mount going away asks nothing more of the phone.
        if (LiveConnections::interrupted()) throw;
        const auto giveUp = std::chrono::steady_clock::now() + outcomeWait;
        for (;;) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            try {
                return phone.statBoth(temporary, path);
            } catch (const AdbClientError &) {
                if (LiveConnections::interrupted() || std::chrono::steady_clock::now() >= giveUp) throw;
            }
        }
    }
}

// Uploads to a hidden name beside the file and moves it over the file only
// once the phone has all of it; the old contents stay on every failure.
NewContents placeContents(const PhoneAccess &phone, const ContentsFile &source, const QString &path, const AdbClient::ModifiedAtEnd &modified,
                          const UploadEnd &end, UploadLeftovers &leftovers) {
    const QString temporary = temporaryUploadPath(path);
    try {
        const AdbClient::Sent sent = phone.push(source, temporary, AdbClient::regularFileMode, modified, end.streamComplete);
        // A streamed upload ended early by its writer carries only a start.
        if (end.withdrawn && end.withdrawn()) {
            if (end.keepWithdrawn) {
                const std::optional<AdbEntry> kept = phone.stat(temporary);
                if (kept && !kept->isDirectory && kept->size == (sent.size & latestPhoneTime)) return {temporary, *kept};
            }
            throw ChangeFailure(ProviderError::posix(ECANCELED, QStringLiteral("The upload to %1 was withdrawn.").arg(path)));
        }
        QString output;
        const auto [left, entry] = afterMove(phone, temporary, path, moveCommand(temporary, path), output);
        const bool moved = !left.has_value();
        if (!moved || !entry || entry->isDirectory || entry->size != (sent.size & latestPhoneTime)) {
            throw notCarriedOut(QStringLiteral("The phone did not put the new contents in place at ") + path, output);
        }
        return {path, keepRequestedTime(phone, path, *entry, modified, sent.modified)};
    } catch (...) {
        leftovers.remove(phone, temporary);
        throw;
    }
}

// A small file goes straight to its name: a cut in its few milliseconds
// leaves nothing, as the phone drops an upload that ends without DONE. A
// larger one, or one still being written, waits under a hidden name.
bool uploadsInPlace(const ContentsFile &source) {
    const std::optional<qint64> size = source.fileSize();
    return size && *size < inPlaceUpTo;
}

bool isBelowStorage(const QString &path) {
    const QString cleaned = QDir::cleanPath(path);
    return cleaned.startsWith(deviceRoot + u'/') && cleaned.size() > deviceRoot.size() + 1;
}

} // namespace

UploadEnd uploadEndOf(const ProgressPointer &progress, bool keepWithdrawn) {
    UploadEnd end;
    end.withdrawn = [progress] { return progress->isCancelled(); };
    end.keepWithdrawn = keepWithdrawn;
    end.streamComplete = [progress, keepWithdrawn](qint64 length) {
        return progress->declaredContentsLength() == length && (keepWithdrawn || !progress->isCancelled());
    };
    return end;
}

AdbClient::ModifiedAtEnd modificationTimeOf(const ItemPointer &item) {
    return [item]() -> std::optional<qint64> {
        const std::optional<Timestamp> date = item->contentModificationDate();
        if (!date) return std::nullopt;
        return qint64(std::floor(*date));
    };
}

QString temporaryUploadPath(const QString &path) {
    static constexpr char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QString suffix;
    for (int index = 0; index < 6; ++index) suffix += QLatin1Char(letters[QRandomGenerator::global()->bounded(62)]);
    // A long name is cut so the hidden one still fits the 255 bytes of a name.
    QString name = lastPathComponent(path);
    while (posix::fileNameBytes(name).size() > 200) name.chop(1);
    return childPath(deletingLastPathComponent(path), u'.' + name + QStringLiteral(".dorvane-") + suffix);
}

PlannedChange planChange(const QString &currentPath, ItemFields changedFields, const ItemPointer &changedItem,
                         const std::optional<ContentsFile> &contents) {
    const Item &item = *changedItem;
    PlannedChange plan{currentPath, std::nullopt, std::nullopt};
    if (changedFields.testFlag(ItemField::contents) && contents) plan.uploadFrom = contents;
    if (changedFields.testFlag(ItemField::contentModificationDate)) plan.newModified = modificationTimeOf(changedItem);
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
                                                const std::optional<ContentsFile> &contents, UploadLeftovers &leftovers,
                                                const AdbClient::ModifiedAtEnd &modified, const UploadEnd &uploadEnd) {
    if (wantFolder) {
        const QString output = phone.shell(makeFolderCommand(path));
        const std::optional<AdbEntry> entry = phone.stat(path);
        if (!entry || !entry->isDirectory) throw notCarriedOut(QStringLiteral("The phone did not create the folder ") + path, output);
        return FileProviderItem::looked(path, *entry);
    }
    if (contents && !uploadsInPlace(*contents)) {
        const NewContents placed = placeContents(phone, *contents, path, modified, uploadEnd, leftovers);
        return FileProviderItem::looked(placed.path, placed.entry);
    }
    if (contents) {
        // The phone's OKAY says the file is whole, and the upload itself
        // tells its size and time: no lookup per file copied in.
        const AdbClient::Sent sent = phone.push(*contents, path, AdbClient::regularFileMode, modified, uploadEnd.streamComplete);
        AdbEntry entry{lastPathComponent(path), false, sent.size, double(sent.modified)};
        if (modified && modified()) {
            if (const std::optional<AdbEntry> found = phone.stat(path)) entry = keepRequestedTime(phone, path, *found, modified, sent.modified);
        }
        return FileProviderItem::looked(path, entry);
    }
    const QString output = phone.shell(touchFileCommand(path));
    const std::optional<AdbEntry> entry = phone.stat(path);
    if (!entry) throw notCarriedOut(QStringLiteral("The phone did not create the file ") + path, output);
    return FileProviderItem::looked(path, *entry);
}

std::shared_ptr<FileProviderItem> changeOnPhone(const PhoneAccess &phone, const PlannedChange &change, UploadLeftovers &leftovers) {
    std::optional<AdbEntry> changed;
    if (change.uploadFrom) {
        const NewContents replaced = placeContents(phone, *change.uploadFrom, change.currentPath, change.newModified, change.uploadEnd, leftovers);
        if (replaced.path != change.currentPath) return FileProviderItem::looked(replaced.path, replaced.entry);
        changed = replaced.entry;
    } else if (change.newModified) {
        if (const std::optional<qint64> seconds = change.newModified()) changed = setModifiedOnPhone(phone, change.currentPath, *seconds);
    }
    if (!change.moveTo) return itemAt(change.currentPath, changed ? changed : phone.stat(change.currentPath), false);

    QString output;
    const auto [source, moved] = afterMove(phone, change.currentPath, *change.moveTo, moveCommand(change.currentPath, *change.moveTo), output);
    // On storage that ignores case, a new spelling of the same name still
    // finds the old one.
    const bool sameName = change.currentPath.compare(*change.moveTo, Qt::CaseInsensitive) == 0;
    if (!moved || (source && !sameName)) {
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
