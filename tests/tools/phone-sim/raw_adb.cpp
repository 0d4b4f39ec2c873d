#include "tests/tools/phone-sim/raw_adb.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace rawadb {

namespace {

std::string bytes32(uint32_t value) {
    std::string out(4, '\0');
    std::memcpy(out.data(), &value, 4);
    return out;
}

bool readExact(int fd, char *data, size_t size, std::chrono::steady_clock::time_point deadline) {
    while (size > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, int(left.count()));
        if (ready <= 0) continue;
        const ssize_t n = ::read(fd, data, size); // a socket or a pipe
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

} // namespace

uint32_t le32(const std::string &bytes, size_t at) {
    uint32_t value = 0;
    if (at + 4 <= bytes.size()) std::memcpy(&value, bytes.data() + at, 4);
    return value;
}

std::string syncRequest(const char *id, const std::string &path) {
    return std::string(id, 4) + bytes32(uint32_t(path.size())) + path;
}
std::string syncData(const std::string &bytes) { return "DATA" + bytes32(uint32_t(bytes.size())) + bytes; }
std::string syncDone(uint32_t value) { return "DONE" + bytes32(value); }

// ------------------------------------------------------------ SimProcess

SimProcess::SimProcess(std::vector<std::string> arguments) {
    const std::string program = DORVANE_BIN_DIR "/dorvane-phone-sim";
    std::vector<std::string> all = {program, "--port", "0", "--attach", "none", "--watch-stdin"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    int output[2], input[2];
    if (::pipe2(output, O_CLOEXEC) != 0 || ::pipe2(input, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
    std::vector<char *> argv;
    for (auto &a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    const int spawned = ::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(output[1]);
    ::close(input[0]);
    stdinWrite_ = input[1];
    if (spawned != 0) {
        ::close(output[0]);
        ::close(stdinWrite_);
        throw std::runtime_error("cannot start " + program);
    }
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    char c;
    while (readExact(output[0], &c, 1, deadline) && c != '\n') line.push_back(c);
    ::close(output[0]);
    const size_t colon = line.rfind(':');
    if (colon == std::string::npos) {
        stop();
        throw std::runtime_error("dorvane-phone-sim printed no serial: '" + line + "'");
    }
    port_ = uint16_t(std::stoi(line.substr(colon + 1)));
}

SimProcess::~SimProcess() { stop(); }

bool SimProcess::alive() const {
    if (pid_ <= 0) return false;
    int status;
    return ::waitpid(pid_, &status, WNOHANG) == 0;
}

int SimProcess::stop() {
    if (stdinWrite_ >= 0) {
        ::close(stdinWrite_);
        stdinWrite_ = -1;
    }
    if (pid_ <= 0) return -1;
    ::kill(pid_, SIGTERM);
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    int result = -1;
    for (;;) {
        const pid_t got = ::waitpid(pid_, &status, WNOHANG);
        if (got == pid_) {
            result = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        if (got < 0 || std::chrono::steady_clock::now() > deadline) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    pid_ = -1;
    return result;
}

// ------------------------------------------------------------ Connection

Connection::Connection(uint16_t port, const std::string &address) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(port);
    ::inet_pton(AF_INET, address.c_str(), &where.sin_addr);
    if (::connect(fd_, reinterpret_cast<sockaddr *>(&where), sizeof where) != 0) {
        ::close(fd_);
        fd_ = -1;
        return;
    }
    int one = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

Connection::~Connection() {
    if (fd_ >= 0) ::close(fd_);
}

void Connection::sendRaw(const std::string &bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0) return;
        done += size_t(n);
    }
}

void Connection::send(uint32_t command, uint32_t arg0, uint32_t arg1, const std::string &payload) {
    uint32_t sum = 0;
    for (unsigned char c : payload) sum += c;
    std::string header = bytes32(command) + bytes32(arg0) + bytes32(arg1) + bytes32(uint32_t(payload.size())) +
                         bytes32(command == kCnxn ? sum : 0) + bytes32(command ^ 0xffffffffu);
    sendRaw(header + payload);
}

bool Connection::receive(Message *message, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (received_.size() >= 24) {
            const uint32_t length = le32(received_, 12);
            if (received_.size() >= 24 + size_t(length)) {
                message->command = le32(received_, 0);
                message->arg0 = le32(received_, 4);
                message->arg1 = le32(received_, 8);
                message->length = length;
                message->check = le32(received_, 16);
                message->magic = le32(received_, 20);
                message->payload = received_.substr(24, length);
                received_.erase(0, 24 + size_t(length));
                return true;
            }
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd p{fd_, POLLIN, 0};
        const int ready = ::poll(&p, 1, int(left.count()));
        if (ready <= 0) continue;
        char buffer[256 * 1024];
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        received_.append(buffer, size_t(n));
    }
}

bool Connection::closedByPeer(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    char buffer[4096];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, int(left.count())) <= 0) continue;
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        if (n == 0 || (n < 0 && errno == ECONNRESET)) return true;
    }
}

Message Connection::handshake(uint32_t maxPayload) {
    send(kCnxn, 0x01000001, maxPayload, "host::features=shell_v2,cmd,stat_v2,ls_v2");
    Message reply;
    if (!receive(&reply)) throw std::runtime_error("no CNXN from the phone");
    return reply;
}

// ---------------------------------------------------------------- Stream

bool Connection::pump(std::chrono::milliseconds limit) {
    Message m;
    if (!receive(&m, limit)) return false;
    auto it = streams_.find(m.arg1);
    if (it != streams_.end()) it->second->take(m);
    return true;
}

Stream::Stream(Connection &connection, const std::string &service, uint32_t localId)
    : connection_(connection), localId_(localId) {
    connection_.streams_[localId_] = this;
    connection_.send(kOpen, localId_, 0, service + std::string(1, '\0'));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (remoteId_ == 0 && !refused_ && std::chrono::steady_clock::now() < deadline)
        if (!pump(std::chrono::seconds(5))) break;
}

Stream::~Stream() { connection_.streams_.erase(localId_); }

void Stream::take(const Message &m) {
    if (remoteId_ == 0 && !refused_) {
        if (m.command == kOkay) remoteId_ = m.arg0;
        else if (m.command == kClse) refused_ = true;
        return;
    }
    if (m.command == kWrte) {
        writeSizes_.push_back(m.payload.size());
        inbox_ += m.payload;
        if (!manual_) connection_.send(kOkay, localId_, remoteId_);
    } else if (m.command == kOkay) {
        okayed_ = true;
    } else if (m.command == kClse) {
        closed_ = true;
    }
}

bool Stream::write(const std::string &bytes) {
    okayed_ = false;
    connection_.send(kWrte, localId_, remoteId_, bytes);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!okayed_ && !closed_) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !pump(left)) return false;
    }
    return okayed_;
}

bool Stream::read(size_t n, std::string *out, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (inbox_.size() < n) {
        if (closed_) return false;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !pump(left)) return false;
    }
    *out = inbox_.substr(0, n);
    inbox_.erase(0, n);
    return true;
}

std::string Stream::readToEnd(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!closed_) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !pump(left)) break;
    }
    std::string all;
    all.swap(inbox_);
    return all;
}

void Stream::close() {
    connection_.send(kClse, localId_, remoteId_);
    closed_ = true;
}

void Stream::answer() { connection_.send(kOkay, localId_, remoteId_); }

bool Stream::receiveWrite(std::string *payload, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    const size_t before = writeSizes_.size();
    const bool manual = manual_;
    manual_ = true;
    while (writeSizes_.size() == before) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !pump(left)) {
            manual_ = manual;
            return false;
        }
    }
    manual_ = manual;
    *payload = inbox_;
    inbox_.clear();
    return true;
}

} // namespace rawadb
