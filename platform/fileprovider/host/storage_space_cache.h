#pragma once

#include "platform/fileprovider/host/replicated_extension.h"

#include <chrono>
#include <mutex>
#include <optional>

namespace fileprovider {

// The last storage figures and when they were read. File managers ask for
// them after nearly every operation; the phone need not be asked each time.
class StorageSpaceCache {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::seconds lifetime{5};

    std::optional<StorageSpace> fresh(Clock::time_point now = Clock::now()) const;
    void remember(const StorageSpace &space, Clock::time_point now = Clock::now());

private:
    mutable std::mutex mutex_;
    std::optional<StorageSpace> space_;
    Clock::time_point readAt_{};
};

} // namespace fileprovider
