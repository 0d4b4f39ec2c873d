#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace phonesim {

// What the link between the phone and the computer lets through, each way.
// MB here are 10^6 bytes.
struct LinkShape {
    double bytesPerSecond = 0; // 0: unshaped
    std::chrono::microseconds oneWayDelay{0};
    bool shaped() const { return bytesPerSecond > 0; }
};

// "none", "usb2", "usb3" or "wifi"; nothing for any other name.
std::optional<LinkShape> linkShapeNamed(const std::string &name);

// One direction of a shaped link: packets leave one after another at the
// link's rate and arrive a fixed delay later, in order. A sender that keeps
// several packets in flight overlaps their delays; one that waits for each
// answer pays the round trip every time. Packets are handed to `deliver` on a
// thread of the line's own, so pushing never waits for the link.
class DelayLine {
public:
    using Packet = std::vector<char>;
    // `deliver` returns false when the far side is gone; the line then drops
    // what it holds and refuses more.
    DelayLine(LinkShape shape, std::function<bool(Packet &)> deliver);
    ~DelayLine();
    DelayLine(const DelayLine &) = delete;
    DelayLine &operator=(const DelayLine &) = delete;

    // Queues a packet; false once the line has failed or stopped. Waits only
    // while a peer that ignores flow control has filled the line.
    bool push(Packet packet);
    // Drops what is queued and ends the thread (idempotent).
    void stop();

private:
    using Clock = std::chrono::steady_clock;
    void deliverInOrder();

    const LinkShape shape_;
    const std::function<bool(Packet &)> deliver_;
    std::mutex mutex_;
    std::condition_variable changed_;
    struct Queued {
        Packet packet;
        Clock::time_point arrival;
    };
    std::deque<Queued> queue_;
    size_t queuedBytes_ = 0;
    Clock::time_point linkFree_{};
    bool stopped_ = false;
    std::thread thread_;
};

} // namespace phonesim
