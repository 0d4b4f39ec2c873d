#include "tools/phone-sim/link_shaper.h"

#include <algorithm>

#include <sys/prctl.h>

namespace phonesim {

namespace {

// Far beyond what adb's flow control lets through; only a misbehaving peer
// reaches it.
constexpr size_t kMaxQueuedBytes = 64 * 1024 * 1024;
// Delivered packets whose room the next ones reuse.
constexpr size_t kSpares = 4;

} // namespace

std::optional<LinkShape> linkShapeNamed(const std::string &name) {
    using std::chrono::microseconds;
    if (name == "none") return LinkShape{};
    if (name == "usb2") return LinkShape{38e6, microseconds(150)};
    if (name == "usb3") return LinkShape{200e6, microseconds(100)};
    if (name == "wifi") return LinkShape{20e6, microseconds(3000)};
    return std::nullopt;
}

DelayLine::DelayLine(LinkShape shape, size_t piece, std::function<bool(const char *bytes, size_t size)> deliver)
    : shape_(shape), piece_(std::max<size_t>(piece, 1)), deliver_(std::move(deliver)), thread_([this] { deliverInOrder(); }) {}

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

DelayLine::Packet DelayLine::spare() {
    std::lock_guard lock(mutex_);
    if (spares_.empty()) return {};
    Packet packet = std::move(spares_.back());
    spares_.pop_back();
    packet.clear();
    return packet;
}

DelayLine::Clock::duration DelayLine::transmission(size_t bytes) const {
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(double(bytes) / shape_.bytesPerSecond));
}

bool DelayLine::push(Packet packet, Clock::time_point handed) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return stopped_ || queuedBytes_ < kMaxQueuedBytes; });
    if (stopped_) return false;
    // The packet goes onto the wire once the one before it has left, and
    // takes its size over the rate to leave.
    linkFree_ = std::max(handed, linkFree_) + transmission(packet.size());
    queuedBytes_ += packet.size();
    queue_.push_back(Queued{std::move(packet), linkFree_ + shape_.oneWayDelay});
    lock.unlock();
    changed_.notify_all();
    return true;
}

void DelayLine::deliverInOrder() {
    // The default timer slack (50 us) would be added to every round trip.
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return stopped_ || !queue_.empty(); });
        if (stopped_) return;
        Queued next = std::move(queue_.front());
        queue_.pop_front();
        queuedBytes_ -= next.packet.size();
        changed_.notify_all();
        if (!deliverPieces(lock, next.packet, next.arrival)) return;
        if (spares_.size() < kSpares) spares_.push_back(std::move(next.packet));
    }
}

bool DelayLine::deliverPieces(std::unique_lock<std::mutex> &lock, const Packet &packet, Clock::time_point arrival) {
    const size_t size = packet.size();
    size_t delivered = 0;
    while (delivered < size) {
        const size_t pieceEnd = size - delivered > piece_ ? delivered + piece_ : size;
        // A byte has come once the bytes after it are all that is left to leave.
        if (changed_.wait_until(lock, arrival - transmission(size - pieceEnd), [&] { return stopped_; })) return false;
        // Woken late, the line hands on all that has come by now.
        size_t until = pieceEnd;
        const Clock::time_point now = Clock::now();
        const double toCome = now < arrival ? std::chrono::duration<double>(arrival - now).count() * shape_.bytesPerSecond : 0;
        if (toCome < double(size - until)) until = size - size_t(toCome);
        lock.unlock();
        const bool ok = deliver_(packet.data() + delivered, until - delivered);
        lock.lock();
        if (!ok) {
            stopped_ = true;
            queue_.clear();
            queuedBytes_ = 0;
            changed_.notify_all();
            return false;
        }
        delivered = until;
    }
    return true;
}

} // namespace phonesim
