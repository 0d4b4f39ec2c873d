#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace phonesim {

// A listening TCP socket on `address`; -1 with errno set when that fails.
int bindLoopback(const std::string &address, uint16_t port);
uint16_t boundPort(int fd);

// Accepts connections on a socket of its own and hands each to `handle` on a
// thread of its own, and closes it once `handle` returns. stop() ends the waiting,
// shuts every connection down and waits for the handlers.
class Listener {
public:
    // Throws std::runtime_error when it cannot listen on address:0.
    Listener(const std::string &address, std::function<void(int fd)> handle);
    ~Listener();
    Listener(const Listener &) = delete;
    Listener &operator=(const Listener &) = delete;

    uint16_t port() const { return port_; }
    void stop();

private:
    void acceptLoop();

    const int fd_;
    uint16_t port_ = 0;
    const std::function<void(int)> handle_;
    std::mutex mutex_;
    bool stopping_ = false;
    std::set<int> open_;
    std::vector<std::thread> handlers_;
    std::thread acceptor_;
};

} // namespace phonesim
