#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tools/phone-sim/link_shaper.h"

namespace phonesim {

constexpr uint32_t kCommandSync = 0x434e5953;
constexpr uint32_t kCommandCnxn = 0x4e584e43;
constexpr uint32_t kCommandAuth = 0x48545541;
constexpr uint32_t kCommandOpen = 0x4e45504f;
constexpr uint32_t kCommandOkay = 0x59414b4f;
constexpr uint32_t kCommandClse = 0x45534c43;
constexpr uint32_t kCommandWrte = 0x45545257;

constexpr uint32_t kVersionSkipChecksum = 0x01000001;
constexpr uint32_t kMaxPayload = 1024 * 1024;

struct MessageHeader {
    uint32_t command = 0;
    uint32_t arg0 = 0;
    uint32_t arg1 = 0;
    uint32_t length = 0;
    uint32_t check = 0;
    uint32_t magic = 0;
};
static_assert(sizeof(MessageHeader) == 24);

// A header is well formed when its magic matches, its command is known and
// its payload fits.
bool isWellFormed(const MessageHeader &header, uint32_t maxPayload);

struct Buffer {
    std::unique_ptr<char[]> data;
    size_t size = 0;     // bytes in use
    size_t capacity = 0; // bytes allocated
};

class Connection;

// One adb stream as the service on the phone side sees it. Reads and writes
// block; both return false once the stream or its connection is gone.
class Stream {
public:
    Stream(Connection &connection, uint32_t localId, uint32_t remoteId, bool consumesInput);

    // Sends bytes as WRTE messages of at most the negotiated payload, one in
    // flight until the other side answers OKAY.
    bool write(const void *data, size_t size);
    bool write(std::string_view text) { return write(text.data(), text.size()); }
    // Hands over a filled buffer to go out as one WRTE (size <= maxPayload()).
    // The connection sends it the moment the previous one is answered, so
    // the caller can fill the next buffer meanwhile; `next` gets a buffer to
    // fill (the one sent before, or a new one of maxPayload() bytes).
    bool post(Buffer buffer, Buffer *next);
    // Reads exactly `size` bytes.
    bool read(void *data, size_t size);
    // Points at up to `max` bytes already received (waiting for some).
    bool readSome(size_t max, const char **data, size_t *size);
    // Ends the stream (CLSE), once.
    void close();

    size_t maxPayload() const;
    uint32_t localId() const { return localId_; }
    // Buffers for post(), shared with the connection's pool.
    Buffer takeBuffer(size_t size);
    void recycle(Buffer buffer);

private:
    friend class Connection;
    bool accept(Buffer buffer, bool *answered); // a WRTE arrived
    void remoteReady();          // an OKAY arrived
    void remoteClosed();         // a CLSE arrived, or the connection ended
    void abandon();              // the connection was reset: never send again
    bool takeNext();

    Connection &connection_;
    const uint32_t localId_;
    const uint32_t remoteId_;
    const bool consumesInput_;

    std::mutex mutex_;
    std::condition_variable changed_;
    bool canSend_ = true;
    bool remoteClosed_ = false;
    bool localClosed_ = false;
    bool abandoned_ = false;
    struct Pending {
        Buffer buffer;
        bool answered = false; // its OKAY went out on arrival
    };
    std::deque<Pending> inbound_;
    Buffer outbox_; // waiting for the remote's OKAY
    Buffer spare_;  // sent, ready to be filled again
    Buffer current_;
    size_t position_ = 0;
};

// What a connection asks of the phone behind it.
class ServiceHost {
public:
    virtual ~ServiceHost() = default;
    virtual std::string banner() const = 0;
    // Runs a service on its own thread; the stream is closed afterwards.
    // Returns an empty function for an unknown service.
    virtual std::function<void(Stream &)> service(const std::string &name, bool *consumesInput) = 0;
    virtual void connectionOnline() = 0;
    virtual bool verbose() const { return false; }
};

// One TCP connection from the adb server, the device side of it. run() reads
// messages until the connection ends, then waits for its services. A shaped
// `link` delays the messages of both directions as a real cable or Wi-Fi does.
class Connection {
public:
    Connection(int fd, ServiceHost &host, LinkShape link = {});
    ~Connection();
    void run();
    // Wakes run() and makes it end (from another thread).
    void shutdown();

    bool sendMessage(uint32_t command, uint32_t arg0, uint32_t arg1, const void *data = nullptr, size_t size = 0);
    // Large payload buffers go round instead of being allocated per message.
    Buffer takeBuffer(size_t size);
    void recycle(Buffer buffer);
    size_t maxPayload() const { return maxPayload_.load(); }

private:
    bool readExactly(void *data, size_t size);
    void acknowledgeNow();
    bool writeAll(const void *data, size_t size);
    void readShaped();
    bool deliverInbound(const char *bytes, size_t size);
    bool handle(const MessageHeader &header, Buffer payload);
    std::shared_ptr<Stream> find(uint32_t localId);
    void open(uint32_t remoteId, const std::string &name);
    void forget(uint32_t localId);
    void reapFinished();
    void endAll(bool abandon);

    const int fd_;
    ServiceHost &host_;
    std::mutex sendMutex_;
    std::atomic<size_t> maxPayload_{4096};
    bool online_ = false;
    uint32_t nextId_ = 1;

    std::mutex poolMutex_;
    std::vector<Buffer> pool_;

    std::mutex streamsMutex_;
    std::map<uint32_t, std::shared_ptr<Stream>> streams_;
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    std::vector<Worker> workers_;

    // Set on a shaped link only; stopped before the socket closes.
    std::unique_ptr<DelayLine> outbound_;
    std::unique_ptr<DelayLine> inbound_;
};

void tuneSocket(int fd);
// Blocking socket I/O of exactly `size` bytes; false once the peer is gone.
bool sendAll(int fd, const void *data, size_t size);
bool receiveAll(int fd, void *data, size_t size);

} // namespace phonesim
