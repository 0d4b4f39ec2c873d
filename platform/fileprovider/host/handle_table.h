#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

namespace fileprovider {

// Handle numbers are unique across tables, so a folder's handle never
// finds a file.
inline std::atomic<uint64_t> lastHandleNumber{0};

// Values the kernel knows by a number (its file handle): the table owns
// them, and the number is never a pointer, so a stale or forged handle
// finds nothing instead of freed memory.
template <typename T>
class HandleTable {
public:
    uint64_t add(std::unique_ptr<T> value) {
        const uint64_t handle = ++lastHandleNumber;
        std::lock_guard lock(mutex_);
        values_.emplace(handle, std::move(value));
        return handle;
    }
    // Valid until the handle is taken.
    T *find(uint64_t handle) const {
        std::lock_guard lock(mutex_);
        auto found = values_.find(handle);
        return found == values_.end() ? nullptr : found->second.get();
    }
    std::unique_ptr<T> take(uint64_t handle) {
        std::lock_guard lock(mutex_);
        auto found = values_.find(handle);
        if (found == values_.end()) return nullptr;
        std::unique_ptr<T> value = std::move(found->second);
        values_.erase(found);
        return value;
    }

private:
    mutable std::mutex mutex_;
    std::map<uint64_t, std::unique_ptr<T>> values_;
};

} // namespace fileprovider
