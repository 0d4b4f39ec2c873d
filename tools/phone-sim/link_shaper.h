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
    using Clock = std::chrono::steady_clock;
    // `deliver` gets each packet's bytes in order and returns false when the
    // far side is gone; the line then drops what it holds and refuses more.
    // Packets longer than `piece` reach it in pieces, each when its last byte
    // has come, so the far side reads a long packet while it is still coming
    // in, as over a cable.
    DelayLine(LinkShape shape, size_t piece, std::function<bool(const char *bytes, size_t size)> deliver);
    ~DelayLine();
    DelayLine(const DelayLine &) = delete;
    DelayLine &operator=(const DelayLine &) = delete;

    // An empty packet to fill, with the room of one delivered before.
    Packet spare();
    // Queues a packet the sender let go of at `handed`; false once the line
    // has failed or stopped. Waits only while a peer that ignores flow
    // control has filled the line.
    bool push(Packet packet, Clock::time_point handed);
    // Drops what is queued and ends the thread (idempotent).
    void stop();

private:
    void deliverInOrder();
    bool deliverPieces(std::unique_lock<std::mutex> &lock, const Packet &packet, Clock::time_point arrival);
    Clock::duration transmission(size_t bytes) const;

    const LinkShape shape_;
    const size_t piece_;
    const std::function<bool(const char *, size_t)> deliver_;
    std::mutex mutex_;
    std::condition_variable changed_;
    struct Queued {
        Packet packet;
        Clock::time_point arrival; // of its last byte
    };
    std::deque<Queued> queue_;
    size_t queuedBytes_ = 0;
    std::vector<Packet> spares_;
    Clock::time_point linkFree_{};
    bool stopped_ = false;
    std::thread thread_;
};

} // namespace phonesim
