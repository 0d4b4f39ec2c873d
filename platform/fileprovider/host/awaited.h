#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace fileprovider {

// The result of one completion. A request runs on the thread that makes
// it, so its result is mostly here before anyone waits; a change run beside
// its caller is waited for. The first delivery counts; later ones are
// dropped. The waiter gives up when `abandoned` says so (the mount is going
// away), so a slow job never holds up an unmount.
template <typename T>
class Awaited {
public:
    void deliver(T value) {
        {
            std::lock_guard lock(mutex_);
            if (value_) return;
            value_.emplace(std::move(value));
        }
        ready_.notify_all();
    }

    bool ready() {
        std::lock_guard lock(mutex_);
        return value_.has_value();
    }

    std::optional<T> wait(const std::function<bool()> &abandoned) {
        std::unique_lock lock(mutex_);
        while (!value_) {
            if (ready_.wait_for(lock, pollInterval, [this] { return value_.has_value(); })) break;
            if (abandoned && abandoned()) return std::nullopt;
        }
        return std::move(*value_);
    }

private:
    static constexpr std::chrono::milliseconds pollInterval{100};

    std::mutex mutex_;
    std::condition_variable ready_;
    std::optional<T> value_;
};

template <typename T>
using AwaitedPointer = std::shared_ptr<Awaited<T>>;

} // namespace fileprovider
