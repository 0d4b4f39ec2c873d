#include "tests/extension/adbclient/scripted_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace {

int boundLoopbackSocket(quint16 &port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) throw std::runtime_error("socket failed");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&address), length) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
        ::close(fd);
        throw std::runtime_error("bind failed");
    }
    port = ntohs(address.sin_port);
    return fd;
}

void sendAll(int fd, const QByteArray &bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t sent = ::send(fd, bytes.constData() + done, size_t(bytes.size() - done), MSG_NOSIGNAL);
        if (sent <= 0) return;
        done += sent;
    }
}

// Reads until the client closes, or until `limit` bytes when limit >= 0.
void readInto(int fd, QByteArray &into, qsizetype limit) {
    char block[65536];
    while (limit < 0 || into.size() < limit) {
        const size_t wanted = limit < 0 ? sizeof block : std::min<size_t>(sizeof block, size_t(limit - into.size()));
        const ssize_t got = ::recv(fd, block, wanted, 0);
        if (got <= 0) return;
        into.append(block, got);
    }
}

} // namespace

ScriptedServer::ScriptedServer(QByteArray reply, Ending ending) : ScriptedServer(QList<Reply>{{std::move(reply), ending, 0}}) {}

ScriptedServer::ScriptedServer(QList<Reply> replies) : replies_(std::move(replies)) {
    listener_ = boundLoopbackSocket(port_);
    if (::listen(listener_, 16) != 0) {
        ::close(listener_);
        throw std::runtime_error("listen failed");
    }
    received_.resize(replies_.size());
    thread_ = std::thread([this] { serve(); });
}

ScriptedServer::~ScriptedServer() {
    // Wakes an accept that is still waiting for a client that never came.
    ::shutdown(listener_, SHUT_RDWR);
    thread_.join();
    ::close(listener_);
}

void ScriptedServer::serve() {
    for (int index = 0; index < replies_.size(); ++index) {
        const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) return;
        QByteArray bytes;
        serveOne(connection, replies_[index], bytes);
        ::close(connection);
        std::lock_guard lock(mutex_);
        received_[index] = std::move(bytes);
        ++endedCount_;
        ended_.notify_all();
    }
}

void ScriptedServer::serveOne(int connection, const Reply &reply, QByteArray &into) {
    sendAll(connection, reply.bytes);
    switch (reply.ending) {
    case Ending::waitForClient:
        readInto(connection, into, -1);
        break;
    case Ending::closeAfterReply:
        ::shutdown(connection, SHUT_WR);
        readInto(connection, into, -1);
        break;
    case Ending::closeAfterReading:
        readInto(connection, into, reply.readBeforeEnding);
        break;
    case Ending::resetAfterReading: {
        readInto(connection, into, reply.readBeforeEnding);
        const linger abort{1, 0};
        ::setsockopt(connection, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
        break;
    }
    }
}

QByteArray ScriptedServer::received(int index) {
    std::unique_lock lock(mutex_);
    ended_.wait(lock, [&] { return endedCount_ > index; });
    return received_[index];
}

RefusingPort::RefusingPort() : fd_(boundLoopbackSocket(port_)) {}

RefusingPort::~RefusingPort() { ::close(fd_); }
