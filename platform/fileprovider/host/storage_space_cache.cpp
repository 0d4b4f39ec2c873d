#include "platform/fileprovider/host/storage_space_cache.h"

namespace fileprovider {

std::optional<StorageSpace> StorageSpaceCache::fresh(Clock::time_point now) const {
    std::lock_guard lock(mutex_);
    if (!space_ || now - readAt_ >= lifetime || now < readAt_) return std::nullopt;
    return space_;
}

void StorageSpaceCache::remember(const StorageSpace &space, Clock::time_point now) {
    std::lock_guard lock(mutex_);
    space_ = space;
    readAt_ = now;
}

} // namespace fileprovider
