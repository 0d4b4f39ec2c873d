#include "platform/fileprovider/host/open_copies.h"

#include <QFile>

#include <unistd.h>

namespace fileprovider {

OpenCopies::~OpenCopies() {
    for (auto &[pointer, copy] : copies_) discard(*copy);
}

void OpenCopies::discard(OpenCopy &copy) {
    if (copy.fd >= 0) ::close(copy.fd);
    copy.fd = -1;
    QFile::remove(copy.localPath);
}

OpenCopy *OpenCopies::adopt(OpenCopy copy) {
    auto owned = std::make_unique<OpenCopy>(std::move(copy));
    OpenCopy *pointer = owned.get();
    std::lock_guard lock(mutex_);
    byPath_.emplace(pointer->mountPath, pointer);
    copies_.emplace(pointer, std::move(owned));
    return pointer;
}

void OpenCopies::release(OpenCopy *copy) {
    std::unique_ptr<OpenCopy> owned;
    {
        std::lock_guard lock(mutex_);
        auto found = copies_.find(copy);
        if (found == copies_.end()) return;
        owned = std::move(found->second);
        copies_.erase(found);
        auto [first, last] = byPath_.equal_range(owned->mountPath);
        for (auto entry = first; entry != last; ++entry) {
            if (entry->second == copy) {
                byPath_.erase(entry);
                break;
            }
        }
    }
    discard(*owned);
}

std::optional<qint64> OpenCopies::openSize(const QString &mountPath) const {
    std::lock_guard lock(mutex_);
    std::optional<qint64> largest;
    auto [first, last] = byPath_.equal_range(mountPath);
    for (auto entry = first; entry != last; ++entry) {
        largest = std::max<qint64>(largest.value_or(0), entry->second->attributes.st_size);
    }
    return largest;
}

int OpenCopies::count() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(copies_.size());
}

} // namespace fileprovider
