#pragma once

// Speaks the adb transport to the emulated phone as the adb server would, so
// tests can check the phone's side byte for byte, without the real server.

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

namespace rawadb {

constexpr uint32_t kCnxn = 0x4e584e43;
constexpr uint32_t kOpen = 0x4e45504f;
constexpr uint32_t kOkay = 0x59414b4f;
constexpr uint32_t kClse = 0x45534c43;
constexpr uint32_t kWrte = 0x45545257;

struct Message {
    uint32_t command = 0, arg0 = 0, arg1 = 0, length = 0, check = 0, magic = 0;
    std::string payload;
};

// dorvane-phone-sim as a child, attached to nothing (no adb server needed).
class SimProcess {
public:
    explicit SimProcess(std::vector<std::string> arguments); // besides --port 0 --attach none
    ~SimProcess();
    SimProcess(const SimProcess &) = delete;
    SimProcess &operator=(const SimProcess &) = delete;
    uint16_t port() const { return port_; }
    pid_t pid() const { return pid_; }
    bool alive() const;
    // SIGTERM, then the exit status (-1 when it did not end in time).
    int stop();

private:
    pid_t pid_ = -1;
    int stdinWrite_ = -1; // the phone ends when this closes, even if the test dies
    uint16_t port_ = 0;
};

class Connection {
public:
    explicit Connection(uint16_t port, const std::string &address = "127.0.0.1");
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    bool isOpen() const { return fd_ >= 0; }
    void sendRaw(const std::string &bytes);
    void send(uint32_t command, uint32_t arg0, uint32_t arg1, const std::string &payload = {});
    // The next message (false on time-out or when the phone closed the connection).
    bool receive(Message *message, std::chrono::milliseconds limit = std::chrono::seconds(5));
    // True when the phone closes the connection within `limit`.
    bool closedByPeer(std::chrono::milliseconds limit = std::chrono::seconds(5));

    // Sends CNXN and returns the phone's CNXN.
    Message handshake(uint32_t maxPayload = 1024 * 1024);

    int fd() const { return fd_; }

private:
    friend class Stream;
    // Reads one message and hands it to the stream it is for.
    bool pump(std::chrono::milliseconds limit);
    int fd_ = -1;
    std::string received_; // bytes read but not yet a whole message, kept across time-outs
    std::map<uint32_t, class Stream *> streams_;
};

// One stream over a Connection, with the host's side of the flow control.
class Stream {
public:
    // Opens `service`; isOpen() tells whether the phone took it.
    Stream(Connection &connection, const std::string &service, uint32_t localId);
    ~Stream();
    Stream(const Stream &) = delete;
    Stream &operator=(const Stream &) = delete;
    bool isOpen() const { return remoteId_ != 0; }
    bool wasRefused() const { return refused_; }

    // WRTE, then waits for the OKAY (buffering what comes meanwhile).
    bool write(const std::string &bytes);
    // Exactly n bytes (answering each WRTE with OKAY).
    bool read(size_t n, std::string *out, std::chrono::milliseconds limit = std::chrono::seconds(10));
    // Everything until the phone's CLSE.
    std::string readToEnd(std::chrono::milliseconds limit = std::chrono::seconds(10));
    bool closedByPhone() const { return closed_; }
    void close();

    // The sizes of the WRTEs received so far.
    const std::vector<size_t> &writeSizes() const { return writeSizes_; }
    // With manual answers, read() does not send OKAYs; answer() sends one.
    void setManualAnswers(bool manual) { manual_ = manual; }
    void answer();
    // Waits for one WRTE without answering it; false on time-out.
    bool receiveWrite(std::string *payload, std::chrono::milliseconds limit);

private:
    friend class Connection;
    void take(const Message &message);
    bool pump(std::chrono::milliseconds limit) { return connection_.pump(limit); }
    Connection &connection_;
    uint32_t localId_;
    uint32_t remoteId_ = 0;
    bool refused_ = false;
    bool closed_ = false;
    bool manual_ = false;
    bool okayed_ = false;
    std::string inbox_;
    std::vector<size_t> writeSizes_;
};

// Sync protocol requests.
std::string syncRequest(const char *id, const std::string &path);
std::string syncData(const std::string &bytes);
std::string syncDone(uint32_t value);
uint32_t le32(const std::string &bytes, size_t at);

} // namespace rawadb
