#include "tests/extension/adbclient/scripted_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

ScriptedServer::ScriptedServer(QByteArray reply, Ending ending) : reply_(std::move(reply)), ending_(ending) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener_ < 0) throw std::runtime_error("socket failed");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(listener_, reinterpret_cast<sockaddr *>(&address), length) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr *>(&address), &length) != 0 || ::listen(listener_, 4) != 0) {
        ::close(listener_);
        throw std::runtime_error("cannot listen on loopback");
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { serve(); });
}

ScriptedServer::~ScriptedServer() {
    // Wakes an accept that is still waiting for a client that never came.
    ::shutdown(listener_, SHUT_RDWR);
    thread_.join();
    ::close(listener_);
}

void ScriptedServer::serve() {
    QByteArray bytes;
    if (const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC); connection >= 0) {
        for (qsizetype done = 0; done < reply_.size();) {
            const ssize_t sent = ::send(connection, reply_.constData() + done, size_t(reply_.size() - done), MSG_NOSIGNAL);
            if (sent <= 0) break;
            done += sent;
        }
        if (ending_ == Ending::closeAfterReply) ::shutdown(connection, SHUT_WR);
        char block[65536];
        for (ssize_t got; (got = ::recv(connection, block, sizeof block, 0)) > 0;) bytes.append(block, got);
        ::close(connection);
    }
    std::lock_guard lock(mutex_);
    received_ = std::move(bytes);
    done_ = true;
    ended_.notify_all();
}

QByteArray ScriptedServer::received() {
    std::unique_lock lock(mutex_);
    ended_.wait(lock, [&] { return done_; });
    return received_;
}
