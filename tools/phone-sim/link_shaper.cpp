#include "tools/phone-sim/link_shaper.h"

#include <algorithm>

namespace phonesim {

namespace {

// Far beyond what adb's flow control lets through; only a misbehaving peer
// reaches it.
constexpr size_t kMaxQueuedBytes = 64 * 1024 * 1024;

} // namespace

std::optional<LinkShape> linkShapeNamed(const std::string &name) {
    using std::chrono::microseconds;
    if (name == "none") return LinkShape{};
    if (name == "usb2") return LinkShape{38e6, microseconds(150)};
    if (name == "usb3") return LinkShape{200e6, microseconds(100)};
    if (name == "wifi") return LinkShape{20e6, microseconds(3000)};
    return std::nullopt;
}

DelayLine::DelayLine(LinkShape shape, std::function<bool(Packet &)> deliver)
    : shape_(shape), deliver_(std::move(deliver)), thread_([this] { deliverInOrder(); }) {}

DelayLine::~DelayLine() { stop(); }

void DelayLine::stop() {
    {
        std::lock_guard lock(mutex_);
        stopped_ = true;
        queue_.clear();
        queuedBytes_ = 0;
    }
    changed_.notify_all();
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

bool DelayLine::push(Packet packet) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return stopped_ || queuedBytes_ < kMaxQueuedBytes; });
    if (stopped_) return false;
    // The packet goes onto the wire once the one before it has left, and
    // takes its size over the rate to leave.
    const Clock::time_point now = Clock::now();
    const auto transmission = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(double(packet.size()) / shape_.bytesPerSecond));
    linkFree_ = std::max(now, linkFree_) + transmission;
    queuedBytes_ += packet.size();
    queue_.push_back(Queued{std::move(packet), linkFree_ + shape_.oneWayDelay});
    lock.unlock();
    changed_.notify_all();
    return true;
}

void DelayLine::deliverInOrder() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return stopped_ || !queue_.empty(); });
        if (stopped_) return;
        const Clock::time_point arrival = queue_.front().arrival;
        if (changed_.wait_until(lock, arrival, [&] { return stopped_; })) return;
        Packet packet = std::move(queue_.front().packet);
        queue_.pop_front();
        queuedBytes_ -= packet.size();
        lock.unlock();
        changed_.notify_all();
        const bool delivered = deliver_(packet);
        lock.lock();
        if (!delivered) {
            stopped_ = true;
            queue_.clear();
            queuedBytes_ = 0;
            changed_.notify_all();
            return;
        }
    }
}

} // namespace phonesim
