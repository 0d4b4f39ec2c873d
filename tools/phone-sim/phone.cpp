#include "tools/phone-sim/phone.h"
#include "tools/phone-sim/listener.h"
#include "tools/phone-sim/services.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace phonesim {

namespace {

bool readAll(int fd, char *data, size_t size, int timeoutMilliseconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMilliseconds);
    while (size > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, int(left.count())) <= 0) continue;
        const ssize_t n = ::recv(fd, data, size, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

// A terminal turns each "\n" of a program's output into "\r\n".
std::string withTerminalLineEnds(const std::string &text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

} // namespace

// The server the adb tool of this environment uses: ANDROID_ADB_SERVER_PORT
// when it holds a port, else 5037.
static uint16_t adbServerPort() {
    const char *text = std::getenv("ANDROID_ADB_SERVER_PORT");
    if (!text || !*text) return 5037;
    char *end = nullptr;
    const unsigned long port = std::strtoul(text, &end, 10);
    return *end == '\0' && text[0] >= '0' && text[0] <= '9' && port >= 1 && port <= 65535 ? uint16_t(port) : 5037;
}

bool hostRequest(const std::string &request, bool wantsReply, std::string *reply, int timeoutMilliseconds) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(adbServerPort());
    server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&server), sizeof server) != 0) {
        if (reply) *reply = "cannot reach the adb server on 127.0.0.1:" + std::to_string(adbServerPort()) + ": " + std::strerror(errno);
        ::close(fd);
        return false;
    }
    char length[5];
    std::snprintf(length, sizeof length, "%04x", unsigned(request.size()));
    const std::string message = length + request;
    bool ok = sendAll(fd, message.data(), message.size());
    if (ok && wantsReply) {
        char status[4];
        ok = readAll(fd, status, 4, timeoutMilliseconds);
        if (ok) {
            const bool okay = std::memcmp(status, "OKAY", 4) == 0;
            char hex[5] = {};
            std::string text;
            if (readAll(fd, hex, 4, timeoutMilliseconds)) {
                const size_t n = std::strtoul(hex, nullptr, 16);
                text.resize(n);
                if (n > 0 && !readAll(fd, text.data(), n, timeoutMilliseconds)) text.clear();
            }
            if (reply) *reply = text;
            ok = okay;
        }
    } else if (ok) {
        // The server answers nothing here; wait until it has read and closed.
        char ignored;
        readAll(fd, &ignored, 1, 1000);
    }
    ::close(fd);
    return ok;
}

Phone::Phone(Options options)
    : options_(std::move(options)), sandbox_(options_.folder, [&] {
          std::vector<std::string> folders;
          for (const auto &folder : options_.readOnlyFolders) {
              auto normalized = normalizeRelative(folder);
              if (!normalized || normalized->empty())
                  throw std::runtime_error("--readonly wants a folder under the served folder, got '" + folder + "'");
              folders.push_back(*normalized);
          }
          return folders;
      }()) {
    if (::pipe2(stopPipe_, O_CLOEXEC) != 0) throw std::runtime_error("cannot make a pipe");
}

Phone::~Phone() {
    stop();
    ::close(stopPipe_[0]);
    ::close(stopPipe_[1]);
}

std::string Phone::serial() const {
    if (options_.attach == Attach::Cable) return "emulator-" + std::to_string(port_ - 1);
    return "127.0.0.1:" + std::to_string(port_);
}

void Phone::listen() {
    int fd = -1;
    if (options_.port != 0) {
        fd = bindLoopback("127.0.0.1", uint16_t(options_.port));
        if (fd < 0)
            throw std::runtime_error("cannot listen on 127.0.0.1:" + std::to_string(options_.port) + ": " + std::strerror(errno));
    } else if (options_.attach == Attach::Cable) {
        // The adb server looks for emulators on the odd ports 5555 to 5585.
        for (int port = 5555; port <= 5585 && fd < 0; port += 2) {
            fd = bindLoopback("127.0.0.1", uint16_t(port));
            // SO_REUSEADDR lets two sockets bind one port until one listens;
            // listen() failing above covers that.
        }
        if (fd < 0) throw std::runtime_error("no free emulator port (odd ports 5555 to 5585 of 127.0.0.1)");
    } else {
        fd = bindLoopback("127.0.0.1", 0);
        if (fd < 0) throw std::runtime_error(std::string("cannot listen on 127.0.0.1: ") + std::strerror(errno));
    }
    port_ = boundPort(fd);
    {
        std::lock_guard lock(mutex_);
        listeners_.push_back(fd);
        acceptThreads_.emplace_back([this, fd] { acceptLoop(fd, false); });
    }
    if (options_.wirelessDebugging) {
        const std::string address = options_.wifiAddress.empty() ? "127.0.0.1" : options_.wifiAddress;
        wireless_ = std::make_unique<WirelessDebugging>(address, [this](int inner) { serveTunnel(inner); });
    }
}

std::string Phone::wirelessAnnouncement() const { return wireless_ ? wireless_->announcement() : std::string(); }

void Phone::serveTunnel(int fd) {
    {
        std::lock_guard lock(mutex_);
        if (stopping_) {
            ::close(fd);
            return;
        }
        ++activeConnections_;
    }
    serve(fd);
}

bool Phone::startWifiListener(uint16_t port) {
    std::lock_guard lock(mutex_);
    if (stopping_) return false;
    if (wifiPort_ == port) return true;
    const int fd = bindLoopback(options_.wifiAddress, port);
    if (fd < 0) {
        std::fprintf(stderr, "dorvane-phone-sim: cannot listen on %s:%u: %s\n", options_.wifiAddress.c_str(), unsigned(port),
                     std::strerror(errno));
        return false;
    }
    wifiPort_ = port;
    listeners_.push_back(fd);
    acceptThreads_.emplace_back([this, fd] { acceptLoop(fd, true); });
    return true;
}

void Phone::acceptLoop(int listener, bool wifi) {
    for (;;) {
        pollfd waits[2] = {{listener, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        if (::poll(waits, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (waits[1].revents) return;
        if (!(waits[0].revents & POLLIN)) continue;
        const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        tuneSocket(fd);
        {
            std::lock_guard lock(mutex_);
            if (stopping_) {
                ::close(fd);
                return;
            }
            ++activeConnections_;
            if (wifi) wifiReached_ = true;
        }
        std::thread([this, fd] { serve(fd); }).detach();
    }
}

void Phone::serve(int fd) {
    {
        Connection connection(fd, *this, options_.link);
        {
            std::lock_guard lock(mutex_);
            connections_.insert(&connection);
            if (stopping_) connection.shutdown();
        }
        connection.run();
        std::lock_guard lock(mutex_);
        connections_.erase(&connection);
    }
    std::lock_guard lock(mutex_);
    --activeConnections_;
    changed_.notify_all();
}

void Phone::connectionOnline() {
    std::lock_guard lock(mutex_);
    ++onlineCount_;
    changed_.notify_all();
}

bool Phone::waitOnline(uint64_t before, int milliseconds) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] { return onlineCount_ > before; });
}

bool Phone::attach(std::string *message) {
    if (options_.attach == Attach::None) return true;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    std::string reply;
    while (std::chrono::steady_clock::now() < deadline) {
        uint64_t before;
        {
            std::lock_guard lock(mutex_);
            before = onlineCount_;
            // The server may have found the phone by itself (it looks at the
            // emulator ports when it starts).
            if (before > 0 && !connections_.empty()) return true;
        }
        if (options_.attach == Attach::Cable) {
            if (hostRequest("host:emulator:" + std::to_string(port_), false, &reply)) {
                if (waitOnline(before, 2000)) return true;
                reply = "the adb server did not connect to 127.0.0.1:" + std::to_string(port_);
                continue;
            }
        } else {
            const std::string target = "127.0.0.1:" + std::to_string(port_);
            if (hostRequest("host:connect:" + target, true, &reply, 15000) &&
                (reply.rfind("connected to", 0) == 0 || reply.rfind("already connected to", 0) == 0)) {
                if (waitOnline(before, 2000)) return true;
                std::lock_guard lock(mutex_);
                if (onlineCount_ > 0) return true;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    if (message) *message = reply;
    return false;
}

void Phone::detach() {
    std::string ignored;
    if (options_.attach == Attach::Wifi) hostRequest("host:disconnect:127.0.0.1:" + std::to_string(port_), true, &ignored, 2000);
    uint16_t wifiPort;
    bool reached;
    {
        std::lock_guard lock(mutex_);
        wifiPort = wifiPort_;
        reached = wifiReached_;
    }
    if (wifiPort && reached)
        hostRequest("host:disconnect:" + options_.wifiAddress + ":" + std::to_string(wifiPort), true, &ignored, 2000);
}

void Phone::stop() {
    std::vector<std::thread> threads;
    {
        std::lock_guard lock(mutex_);
        if (stopping_ && acceptThreads_.empty() && activeConnections_ == 0) return;
        stopping_ = true;
        threads.swap(acceptThreads_);
    }
    if (wireless_) wireless_->stop();
    const char wake = 1;
    [[maybe_unused]] ssize_t ignored = ::write(stopPipe_[1], &wake, 1);
    for (auto &thread : threads) thread.join();
    std::unique_lock lock(mutex_);
    for (int fd : listeners_) ::close(fd);
    listeners_.clear();
    for (Connection *connection : connections_) connection->shutdown();
    changed_.wait_for(lock, std::chrono::seconds(5), [&] { return activeConnections_ == 0; });
}

std::string Phone::banner() const {
    return "device::ro.product.name=dorvane_sim;ro.product.model=" + options_.model +
           ";ro.product.device=dorvane_sim;features=" + options_.android.features();
}

ShellEnvironment Phone::shellEnvironment() const {
    return ShellEnvironment{&sandbox_, options_.df, options_.wifiAddress, options_.android, options_.model, options_.scanLog};
}

std::function<void(Stream &)> Phone::service(const std::string &name, bool *consumesInput) {
    if (name == "sync:") {
        *consumesInput = true;
        return [this](Stream &stream) { runSyncService(stream, sandbox_, options_.android); };
    }
    if (name.rfind("shell:", 0) == 0) {
        *consumesInput = false;
        std::string command = name.substr(6);
        return [this, command](Stream &stream) {
            std::string output = runShellCommand(command, shellEnvironment());
            if (options_.android.terminalLineEnds()) output = withTerminalLineEnds(output);
            stream.write(output);
        };
    }
    if (name.rfind("exec:", 0) == 0) {
        *consumesInput = false;
        std::string command = name.substr(5);
        return [this, command](Stream &stream) { runExecCommand(stream, command, shellEnvironment()); };
    }
    if (name.rfind("tcpip:", 0) == 0) {
        const std::string text = name.substr(6);
        char *end = nullptr;
        const unsigned long port = std::strtoul(text.c_str(), &end, 10);
        *consumesInput = false;
        if (text.empty() || *end != '\0' || port == 0 || port > 65535)
            return [](Stream &stream) { stream.write(std::string_view("invalid port\n")); };
        return [this, port](Stream &stream) {
            if (!options_.wifiAddress.empty()) startWifiListener(uint16_t(port));
            stream.write("restarting in TCP mode port: " + std::to_string(port) + "\n");
        };
    }
    return {};
}

} // namespace phonesim
