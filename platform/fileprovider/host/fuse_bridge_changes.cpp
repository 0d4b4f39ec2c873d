// The bridge's changes of the tree: new folders, deletes and renames, with
// the POSIX rules that the extension's storage does not keep by itself.
#include "platform/fileprovider/host/fuse_bridge.h"

#include "platform/fileprovider/host/mount_paths.h"
#include "platform/fileprovider/host/template_item.h"

#include <cerrno>
#include <cstdio>
#include <linux/fs.h>

namespace fileprovider {

namespace {

bool isMissing(const ProviderError &error) { return error.is(FileProviderErrorCode::noSuchItem); }

} // namespace

int FuseBridge::settle(const QString &mountPath) {
    const CopyHold shared = openCopies_.joinShared(mountPath);
    return shared ? uploadHeldCopy(*shared) : 0;
}

int FuseBridge::mkdir(const char *path) {
    const QString mountPath = mountPathOf(path);
    // Nothing here goes to a trash, it is deleted: without its folder, file
    // managers offer to delete for good rather than move files into a hidden
    // folder of the phone where they still take its space.
    if (isTrashFolder(mountPath)) return -EPERM;
    if (openCopies_.pendingAt(mountPath)) return -EEXIST;
    auto existing = itemAt(mountPath);
    if (std::holds_alternative<ItemPointer>(existing)) return -EEXIST;
    if (const auto &error = std::get<ProviderError>(existing); !isMissing(error)) return fail("creating", mountPath, error);

    auto parent = identifierFor(parentMountPath(mountPath));
    if (auto *error = std::get_if<ProviderError>(&parent)) return fail("creating", mountPath, *error);
    const QString name = lastComponent(mountPath);
    auto itemTemplate = std::make_shared<TemplateItem>(ItemIdentifier(name), std::get<ItemIdentifier>(parent), name, ContentType::folder());
    recentNames_.added(parentMountPath(mountPath), name);
    auto created = requests_.create(std::move(itemTemplate), std::nullopt);
    if (auto *error = std::get_if<ProviderError>(&created)) return fail("creating", mountPath, *error);
    recentNames_.madeFolder(mountPath);
    return 0;
}

int FuseBridge::unlink(const char *path) {
    const QString mountPath = mountPathOf(path);
    // Not on the phone yet: forgetting it is all there is to do, unless a
    // streamed upload already put part of it there.
    if (openCopies_.pendingAt(mountPath)) {
        bool landed = false;
        if (const CopyHold shared = openCopies_.joinShared(mountPath)) {
            std::lock_guard lock(shared->mutex);
            abandonStream(*shared);
            landed = shared->phoneFile != PhoneFile::missing;
        }
        openCopies_.detach(mountPath);
        if (!landed) return 0;
    }
    auto item = itemAt(mountPath);
    if (auto *error = std::get_if<ProviderError>(&item)) return fail("deleting", mountPath, *error);
    const ItemPointer &found = std::get<ItemPointer>(item);
    if (found->isFolder()) return -EISDIR;
    if (auto error = requests_.remove(found->itemIdentifier(), found->itemVersion())) return fail("deleting", mountPath, *error);
    openCopies_.detach(mountPath);
    return 0;
}

int FuseBridge::rmdir(const char *path) {
    const QString mountPath = mountPathOf(path);
    if (mountPath == QLatin1String("/")) return -EBUSY;
    auto item = itemAt(mountPath);
    if (auto *error = std::get_if<ProviderError>(&item)) return fail("deleting", mountPath, *error);
    const ItemPointer &found = std::get<ItemPointer>(item);
    if (!found->isFolder()) return -ENOTDIR;
    // The extension deletes folders with everything in them; rmdir never may.
    if (!openCopies_.pendingIn(mountPath).isEmpty()) return -ENOTEMPTY;
    auto listing = requests_.contents(found->itemIdentifier());
    if (auto *error = std::get_if<ProviderError>(&listing)) return fail("deleting", mountPath, *error);
    if (!std::get<QList<ItemPointer>>(listing).isEmpty()) return -ENOTEMPTY;
    if (auto error = requests_.remove(found->itemIdentifier(), found->itemVersion())) return fail("deleting", mountPath, *error);
    recentNames_.forgetAll();
    return 0;
}

int FuseBridge::clearRenameTarget(const QString &fromPath, const ItemPointer &source, const QString &toPath, unsigned int flags) {
    const bool noReplace = (flags & RENAME_NOREPLACE) != 0;
    if (openCopies_.pendingAt(toPath)) {
        if (noReplace) return -EEXIST;
        return source->isFolder() ? -ENOTDIR : 0;
    }
    // Storage that ignores case finds the source itself under its new spelling.
    if (fromPath.compare(toPath, Qt::CaseInsensitive) == 0) return 0;
    // Asked afresh, never from what the mount saw moments ago: the phone's
    // mv would put the source inside a folder that appeared there since.
    auto target = itemAt(toPath);
    if (auto *error = std::get_if<ProviderError>(&target)) return isMissing(*error) ? 0 : fail("moving onto", toPath, *error);
    const ItemPointer &existing = std::get<ItemPointer>(target);
    if (noReplace) return -EEXIST;
    if (!existing->isFolder()) return source->isFolder() ? -ENOTDIR : 0;
    if (!source->isFolder()) return -EISDIR;
    // The phone's mv would move the source into the folder; POSIX replaces
    // an empty one and refuses any other.
    if (!openCopies_.pendingIn(toPath).isEmpty()) return -ENOTEMPTY;
    auto listing = requests_.contents(existing->itemIdentifier());
    if (auto *error = std::get_if<ProviderError>(&listing)) return fail("moving onto", toPath, *error);
    if (!std::get<QList<ItemPointer>>(listing).isEmpty()) return -ENOTEMPTY;
    if (auto error = requests_.remove(existing->itemIdentifier(), existing->itemVersion())) return fail("replacing", toPath, *error);
    return 0;
}

int FuseBridge::rename(const char *from, const char *to, unsigned int flags) {
    // Two items cannot swap places on the phone in one step.
    if (flags & ~static_cast<unsigned int>(RENAME_NOREPLACE)) return -EINVAL;
    const QString fromPath = mountPathOf(from);
    const QString toPath = mountPathOf(to);
    if (fromPath == toPath) return 0;
    if (isBelow(toPath, fromPath)) return -EINVAL;
    // A file not uploaded yet, or holding new bytes, goes up first, so that
    // what is moved on the phone is what the writer wrote.
    if (const int settled = settle(fromPath); settled < 0) return settled;

    // The kernel looked the source up right before, as mv and file managers
    // do: that answer serves as the kernel's own would, and the move is
    // checked on the phone afterwards.
    ItemPointer source = recentItems_.fresh(fromPath);
    if (!source) {
        auto item = itemAt(fromPath);
        if (auto *error = std::get_if<ProviderError>(&item)) return fail("moving", fromPath, *error);
        source = std::get<ItemPointer>(item);
    }
    if (const int cleared = clearRenameTarget(fromPath, source, toPath, flags); cleared < 0) return cleared;

    auto newParent = identifierFor(parentMountPath(toPath));
    if (auto *error = std::get_if<ProviderError>(&newParent)) return fail("moving", fromPath, *error);
    auto changed = std::make_shared<TemplateItem>(source->itemIdentifier(), std::get<ItemIdentifier>(newParent), lastComponent(toPath),
                                                  source->contentType());
    auto moved = requests_.modify(std::move(changed), source->itemVersion(), ItemField::filename | ItemField::parentItemIdentifier,
                                  std::nullopt);
    // Whatever the outcome, listings of the folders involved may be wrong now.
    recentNames_.forgetAll();
    if (auto *error = std::get_if<ProviderError>(&moved)) return fail("moving", fromPath, *error);
    // Handles of a replaced file keep their copy but never upload it over the new one.
    openCopies_.detach(toPath);
    openCopies_.move(fromPath, toPath);
    return 0;
}

} // namespace fileprovider
