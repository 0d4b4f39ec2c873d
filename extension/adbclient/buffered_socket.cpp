#include "extension/adbclient/buffered_socket.h"

#include "extension/adbclient/adb_client_error.h"
#include "extension/adbclient/live_connections.h"
#include "extension/adbclient/wire_format.h"

#include <QtGlobal>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <climits>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

// A blocking call that gave up after the silence limit.
bool timedOut(ssize_t result) { return result < 0 && (errno == EAGAIN || errno == EWOULDBLOCK); }

// One call's message over the parts from `next` on.
msghdr messageOver(std::vector<iovec> &parts, size_t next) {
    msghdr message{};
    message.msg_iov = parts.data() + next;
    message.msg_iovlen = std::min<size_t>(parts.size() - next, IOV_MAX);
    return message;
}

// Past the parts `count` bytes covered whole, into the one covered in part.
void advanceParts(std::vector<iovec> &parts, size_t &next, size_t count) {
    while (next < parts.size() && count >= parts[next].iov_len) count -= parts[next++].iov_len;
    if (next < parts.size()) {
        parts[next].iov_base = static_cast<char *>(parts[next].iov_base) + count;
        parts[next].iov_len -= count;
    }
}

} // namespace

int BufferedSocket::silenceSeconds() {
    static const int seconds = [] {
        bool set = false;
        const int chosen = qEnvironmentVariableIntValue("DORVANE_ADB_SILENCE_SECONDS", &set);
        return set && chosen > 0 ? chosen : 30;
    }();
    return seconds;
}

BufferedSocket BufferedSocket::connect(quint16 port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) throw AdbClientError::connectionFailed(errno);
    BufferedSocket socket(fd); // closes the descriptor if connecting fails
    if (!LiveConnections::enter(fd)) throw AdbClientError::connectionFailed();

    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = ::inet_addr("127.0.0.1");
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0)
        throw AdbClientError::connectionFailed(errno);
    const timeval limit{silenceSeconds(), 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    return socket;
}

BufferedSocket::BufferedSocket(BufferedSocket &&other) noexcept
    : fd_(std::move(other.fd_)), buffer_(std::move(other.buffer_)), offset_(std::exchange(other.offset_, 0)),
      filled_(std::exchange(other.filled_, 0)), held_(std::exchange(other.held_, QByteArray())),
      awaitingAnswer_(std::exchange(other.awaitingAnswer_, false)) {}

BufferedSocket &BufferedSocket::operator=(BufferedSocket &&other) noexcept {
    if (this != &other) {
        close();
        fd_ = std::move(other.fd_);
        buffer_ = std::move(other.buffer_);
        offset_ = std::exchange(other.offset_, 0);
        filled_ = std::exchange(other.filled_, 0);
        held_ = std::exchange(other.held_, QByteArray());
        awaitingAnswer_ = std::exchange(other.awaitingAnswer_, false);
    }
    return *this;
}

BufferedSocket::~BufferedSocket() { close(); }

void BufferedSocket::close() {
    if (!fd_.isOpen()) return;
    LiveConnections::leave(fd_.get());
    fd_.reset();
}

void BufferedSocket::shutdownBothWays() {
    if (fd_.isOpen()) ::shutdown(fd_.get(), SHUT_RDWR);
}

bool BufferedSocket::peerClosed() const {
    if (!fd_.isOpen()) return true;
    if (unread() > 0) return false;
    char probe;
    const ssize_t peeked = ::recv(fd_.get(), &probe, 1, MSG_PEEK | MSG_DONTWAIT);
    // Bytes nobody asked for mean the connection is out of step, too.
    return peeked >= 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
}

void BufferedSocket::write(QByteArrayView bytes, bool moreFollows) {
    // Only headers are held; a large piece goes out at once, with them.
    constexpr qsizetype mostHeld = 4096;
    if (moreFollows && held_.size() + bytes.size() <= mostHeld) {
        held_.append(bytes);
        return;
    }
    std::vector<iovec> parts;
    if (!bytes.isEmpty()) parts.push_back(iovec{const_cast<char *>(bytes.data()), size_t(bytes.size())});
    send(std::move(parts), moreFollows);
}

ssize_t BufferedSocket::receive(char *into, size_t size, int flags) {
    iovec part{into, size};
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    return receive(message, flags);
}

ssize_t BufferedSocket::receive(msghdr &message, int flags) {
    if (!fd_.isOpen()) return -1;
    // An answer never comes to a request still held back.
    if (!held_.isEmpty()) send({}, false);
    // Bytes already here are taken without waiting, and without the
    // acknowledgement below: a transfer in full flow needs none.
    if (!std::exchange(awaitingAnswer_, false)) {
        const ssize_t ready = ::recvmsg(fd_.get(), &message, MSG_DONTWAIT);
        if (ready >= 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) return ready;
    }
    // The server sends a reply in several writes without TCP_NODELAY: an
    // acknowledgement held back while this side waits would hold its second
    // write back for tens of milliseconds. The kernel forgets this after a
    // while, so it is asked for before every wait.
    const int one = 1;
    ::setsockopt(fd_.get(), IPPROTO_TCP, TCP_QUICKACK, &one, sizeof one);
    const ssize_t received = ::recvmsg(fd_.get(), &message, flags);
    if (timedOut(received)) throw AdbClientError::phoneSilent(silenceSeconds());
    return received;
}

bool BufferedSocket::receiveAll(std::vector<iovec> parts) {
    size_t next = 0;
    while (next < parts.size()) {
        msghdr message = messageOver(parts, next);
        const ssize_t received = receive(message, MSG_WAITALL);
        if (received <= 0) return false;
        advanceParts(parts, next, size_t(received));
    }
    return true;
}

void BufferedSocket::writeGathered(std::vector<QByteArrayView> pieces, bool moreFollows) {
    std::vector<iovec> parts;
    parts.reserve(pieces.size());
    for (const QByteArrayView piece : pieces) {
        if (!piece.isEmpty()) parts.push_back(iovec{const_cast<char *>(piece.data()), size_t(piece.size())});
    }
    send(std::move(parts), moreFollows);
}

void BufferedSocket::send(std::vector<iovec> parts, bool moreFollows) {
    // Taken out first: after a failure the connection is done with anyway.
    const QByteArray held = std::exchange(held_, QByteArray());
    if (!held.isEmpty()) parts.insert(parts.begin(), iovec{const_cast<char *>(held.data()), size_t(held.size())});
    if (parts.empty()) return;
    awaitingAnswer_ = true;
    // MSG_NOSIGNAL: a peer that has gone away is an error, not a signal that
    // ends the process. MSG_MORE keeps a packet's start in the kernel while
    // its rest is still being read from a file or a pipe.
    const int flags = MSG_NOSIGNAL | (moreFollows ? MSG_MORE : 0);
    size_t next = 0;
    while (next < parts.size()) {
        const msghdr message = messageOver(parts, next);
        const ssize_t sent = !fd_.isOpen() ? -1 : ::sendmsg(fd_.get(), &message, flags);
        if (timedOut(sent)) throw AdbClientError::phoneSilent(silenceSeconds());
        if (sent <= 0) throw AdbClientError::connectionFailed(sent < 0 ? errno : 0);
        advanceParts(parts, next, size_t(sent));
    }
}

char *BufferedSocket::roomFor(qsizetype count) {
    if (qsizetype(buffer_.size()) - filled_ < count) {
        // The unread rest is a few bytes of a header at most: moving it is cheap.
        if (offset_ > 0) {
            std::memmove(buffer_.data(), buffer_.data() + offset_, size_t(unread()));
            filled_ -= offset_;
            offset_ = 0;
        }
        if (qsizetype(buffer_.size()) - filled_ < count) buffer_.resize(size_t(filled_ + count));
    }
    return buffer_.data() + filled_;
}

bool BufferedSocket::receiveOnce() {
    const ssize_t received = receive(roomFor(receiveBlockSize), size_t(receiveBlockSize), 0);
    if (received > 0) filled_ += received;
    return received > 0;
}

void BufferedSocket::fill(qsizetype count) {
    while (unread() < count) {
        if (!receiveOnce()) throw AdbClientError::protocolError(QStringLiteral("unexpected EOF"));
    }
}

void BufferedSocket::consume(qsizetype count) {
    offset_ += count;
    if (offset_ == filled_) offset_ = filled_ = 0;
}

QByteArray BufferedSocket::readExactly(qsizetype count) {
    if (count <= 0) return {};
    fill(count);
    QByteArray result = unreadBytes(count);
    consume(count);
    return result;
}

void BufferedSocket::readInto(char *into, qsizetype count, qsizetype followingBytes) {
    const qsizetype buffered = std::min(count, unread());
    if (buffered > 0) {
        std::memcpy(into, buffer_.data() + offset_, size_t(buffered));
        consume(buffered);
    }
    const qsizetype rest = count - buffered;
    if (rest == 0) return;
    if (followingBytes > 0 || rest >= receiveBlockSize) {
        // The rest where it is wanted, and what is known to follow into the
        // buffer: one receive, no copy.
        std::vector<iovec> parts{{into + buffered, size_t(rest)}};
        if (followingBytes > 0) parts.push_back({roomFor(followingBytes), size_t(followingBytes)});
        if (!receiveAll(std::move(parts))) throw AdbClientError::protocolError(QStringLiteral("unexpected EOF"));
        filled_ += followingBytes;
        return;
    }
    // A short rest comes through the buffer, with whatever follows it.
    fill(rest);
    std::memcpy(into + buffered, buffer_.data() + offset_, size_t(rest));
    consume(rest);
}

quint32 BufferedSocket::readUInt32() { return adbwire::readUInt32LE(readExactly(4)); }

QByteArray BufferedSocket::unreadBytes(qsizetype count) const {
    return count > 0 ? QByteArray(buffer_.data() + offset_, count) : QByteArray();
}

QByteArray BufferedSocket::readToEnd() {
    QByteArray result = unreadBytes(unread());
    offset_ = filled_ = 0;
    // Receive straight into the result; the stream's end or an error ends it.
    for (;;) {
        const qsizetype had = result.size();
        result.resize(had + receiveBlockSize);
        const ssize_t received = receive(result.data() + had, size_t(receiveBlockSize), 0);
        result.resize(had + std::max<qsizetype>(received, 0));
        if (received <= 0) return result;
    }
}

QByteArray BufferedSocket::readUpTo(qsizetype limit) {
    while (unread() < limit && receiveOnce()) {
    }
    const qsizetype count = std::min(limit, unread());
    QByteArray result = unreadBytes(count);
    consume(count);
    return result;
}
