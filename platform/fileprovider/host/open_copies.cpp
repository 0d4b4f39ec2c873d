#include "platform/fileprovider/host/open_copies.h"

#include <QFile>


namespace fileprovider {

namespace {

bool isAtOrBelow(const QString &path, const QString &folder) {
    return path == folder || (path.startsWith(folder) && path.size() > folder.size() && path[folder.size()] == u'/');
}

QString parentOf(const QString &mountPath) {
    const qsizetype slash = mountPath.lastIndexOf(u'/');
    return slash <= 0 ? QStringLiteral("/") : mountPath.left(slash);
}

} // namespace

OpenCopies::~OpenCopies() {
    for (auto &[pointer, entry] : copies_) discard(*entry.copy);
}

void OpenCopies::discard(OpenCopy &copy) {
    copy.fd.reset();
    if (!copy.localPath.isEmpty()) QFile::remove(copy.localPath);
}

bool CopyHold::release() {
    if (!copy_) return false;
    return std::exchange(copies_, nullptr)->release(std::exchange(copy_, nullptr));
}

CopyHold OpenCopies::adopt(std::unique_ptr<OpenCopy> copy, const QString &mountPath) {
    OpenCopy *pointer = copy.get();
    std::lock_guard lock(mutex_);
    copies_.emplace(pointer, Entry{std::move(copy), mountPath, 1, true});
    return CopyHold(*this, pointer);
}

CopyHold OpenCopies::adoptOrJoinShared(std::unique_ptr<OpenCopy> copy, const QString &mountPath) {
    std::lock_guard lock(mutex_);
    // A copy dropped here holds nothing yet: writers' copies are staged only once adopted.
    if (OpenCopy *existing = joinSharedLocked(mountPath)) return CopyHold(*this, existing);
    OpenCopy *pointer = copy.get();
    copies_.emplace(pointer, Entry{std::move(copy), mountPath, 1, true});
    return CopyHold(*this, pointer);
}

CopyHold OpenCopies::joinShared(const QString &mountPath) {
    std::lock_guard lock(mutex_);
    OpenCopy *joined = joinSharedLocked(mountPath);
    return joined ? CopyHold(*this, joined) : CopyHold();
}

OpenCopy *OpenCopies::joinSharedLocked(const QString &mountPath) {
    for (auto &[pointer, entry] : copies_) {
        if (entry.findable && entry.copy->shared && entry.mountPath == mountPath) {
            ++entry.handles;
            return entry.copy.get();
        }
    }
    return nullptr;
}

bool OpenCopies::release(OpenCopy *copy) {
    std::unique_ptr<OpenCopy> owned;
    {
        std::lock_guard lock(mutex_);
        auto found = copies_.find(copy);
        if (found == copies_.end() || --found->second.handles > 0) return false;
        owned = std::move(found->second.copy);
        copies_.erase(found);
    }
    discard(*owned);
    return true;
}

QString OpenCopies::mountPathOf(const OpenCopy *copy) const {
    std::lock_guard lock(mutex_);
    auto found = copies_.find(copy);
    return found == copies_.end() ? QString() : found->second.mountPath;
}

std::optional<qint64> OpenCopies::openSize(const QString &mountPath) const {
    std::lock_guard lock(mutex_);
    std::optional<qint64> largest;
    for (const auto &[pointer, entry] : copies_) {
        if (entry.findable && entry.mountPath == mountPath) largest = std::max<qint64>(largest.value_or(0), entry.copy->size);
    }
    return largest;
}

std::optional<struct stat> OpenCopies::freshlyReadAt(const QString &mountPath, std::chrono::steady_clock::duration within) const {
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard lock(mutex_);
    std::optional<struct stat> found;
    for (const auto &[pointer, entry] : copies_) {
        if (!entry.findable || entry.mountPath != mountPath) continue;
        const OpenCopy &copy = *entry.copy;
        // A writer's bytes may differ from what the phone said.
        if (copy.shared) return std::nullopt;
        if (copy.local == LocalBytes::fromPhone && now - copy.openedAt <= within) found = copy.currentAttributes();
    }
    return found;
}

std::optional<struct stat> OpenCopies::pendingAt(const QString &mountPath) const {
    std::lock_guard lock(mutex_);
    for (const auto &[pointer, entry] : copies_) {
        if (entry.findable && entry.copy->phoneFile == PhoneFile::missing && entry.mountPath == mountPath) return entry.copy->currentAttributes();
    }
    return std::nullopt;
}

QList<std::pair<QString, struct stat>> OpenCopies::pendingIn(const QString &folderMountPath) const {
    std::lock_guard lock(mutex_);
    QList<std::pair<QString, struct stat>> pending;
    for (const auto &[pointer, entry] : copies_) {
        if (!entry.findable || entry.copy->phoneFile != PhoneFile::missing || parentOf(entry.mountPath) != folderMountPath) continue;
        pending.append({entry.mountPath.mid(entry.mountPath.lastIndexOf(u'/') + 1), entry.copy->currentAttributes()});
    }
    return pending;
}

void OpenCopies::detach(const QString &mountPath) {
    std::lock_guard lock(mutex_);
    for (auto &[pointer, entry] : copies_) {
        if (entry.findable && isAtOrBelow(entry.mountPath, mountPath)) {
            entry.findable = false;
            entry.copy->detached = true;
        }
    }
}

void OpenCopies::move(const QString &from, const QString &to) {
    std::lock_guard lock(mutex_);
    for (auto &[pointer, entry] : copies_) {
        if (entry.findable && isAtOrBelow(entry.mountPath, from)) entry.mountPath = to + entry.mountPath.mid(from.size());
    }
}

int OpenCopies::count() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(copies_.size());
}

} // namespace fileprovider
