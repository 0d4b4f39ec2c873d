#include "tools/phone-sim/listener.h"

#include "tools/phone-sim/transport.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace phonesim {

int bindLoopback(const std::string &address, uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    int one = 1;
    // Lets a port be taken again at once after a phone on it stopped.
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(port);
    if (::inet_pton(AF_INET, address.c_str(), &where.sin_addr) != 1 ||
        ::bind(fd, reinterpret_cast<sockaddr *>(&where), sizeof where) != 0 || ::listen(fd, 64) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

uint16_t boundPort(int fd) {
    sockaddr_in where{};
    socklen_t size = sizeof where;
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&where), &size);
    return ntohs(where.sin_port);
}

Listener::Listener(const std::string &address, std::function<void(int fd)> handle)
    : fd_(bindLoopback(address, 0)), handle_(std::move(handle)) {
    if (fd_ < 0) throw std::runtime_error("cannot listen on " + address + ": " + std::strerror(errno));
    port_ = boundPort(fd_);
    acceptor_ = std::thread([this] { acceptLoop(); });
}

Listener::~Listener() {
    stop();
    ::close(fd_);
}

void Listener::acceptLoop() {
    for (;;) {
        const int fd = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            return; // shut down by stop()
        }
        tuneSocket(fd);
        std::lock_guard lock(mutex_);
        if (stopping_) {
            ::close(fd);
            return;
        }
        open_.insert(fd);
        handlers_.emplace_back([this, fd] {
            handle_(fd);
            std::lock_guard lock(mutex_);
            open_.erase(fd);
            ::close(fd);
        });
    }
}

void Listener::stop() {
    std::vector<std::thread> handlers;
    {
        std::lock_guard lock(mutex_);
        if (stopping_) return;
        stopping_ = true;
        // Wakes accept() as well as every connection's reads.
        ::shutdown(fd_, SHUT_RDWR);
        for (int fd : open_) ::shutdown(fd, SHUT_RDWR);
    }
    acceptor_.join();
    {
        std::lock_guard lock(mutex_);
        handlers.swap(handlers_);
    }
    for (auto &handler : handlers) handler.join();
}

} // namespace phonesim
