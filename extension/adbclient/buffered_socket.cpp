#include "extension/adbclient/buffered_socket.h"

#include "extension/adbclient/adb_client_error.h"
#include "extension/adbclient/wire_format.h"

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

BufferedSocket BufferedSocket::connect(quint16 port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) throw AdbClientError::connectionFailed();
    BufferedSocket socket(fd); // closes the descriptor if connecting fails

    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = ::inet_addr("127.0.0.1");
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0)
        throw AdbClientError::connectionFailed();
    return socket;
}

BufferedSocket::BufferedSocket(BufferedSocket &&other) noexcept
    : fd_(std::exchange(other.fd_, -1)), buffer_(std::move(other.buffer_)), offset_(std::exchange(other.offset_, 0)) {}

BufferedSocket &BufferedSocket::operator=(BufferedSocket &&other) noexcept {
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
        buffer_ = std::move(other.buffer_);
        offset_ = std::exchange(other.offset_, 0);
    }
    return *this;
}

BufferedSocket::~BufferedSocket() { close(); }

void BufferedSocket::close() {
    if (fd_ >= 0) ::close(std::exchange(fd_, -1));
}

void BufferedSocket::shutdownBothWays() {
    if (fd_ >= 0) ::shutdown(fd_, SHUT_RDWR);
}

bool BufferedSocket::peerClosed() const {
    if (fd_ < 0) return true;
    if (buffer_.size() > offset_) return false;
    char probe;
    const ssize_t peeked = ::recv(fd_, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
    // Bytes nobody asked for mean the connection is out of step, too.
    return peeked >= 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
}

void BufferedSocket::write(QByteArrayView bytes, bool moreFollows) {
    const char *next = bytes.data();
    qsizetype left = bytes.size();
    // MSG_NOSIGNAL: a peer that has gone away is an error, not a signal that
    // ends the process.
    const int flags = MSG_NOSIGNAL | (moreFollows ? MSG_MORE : 0);
    while (left > 0) {
        const ssize_t sent = fd_ < 0 ? -1 : ::send(fd_, next, size_t(left), flags);
        if (sent <= 0) throw AdbClientError::connectionFailed();
        next += sent;
        left -= sent;
    }
}

ssize_t BufferedSocket::receive(char *into, size_t size, int flags) {
    // The server sends a reply in several writes without TCP_NODELAY: an
    // acknowledgement held back here would hold its second write back for
    // tens of milliseconds. The kernel forgets this after a while, so it is
    // asked for before every receive.
    const int one = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_QUICKACK, &one, sizeof one);
    return ::recv(fd_, into, size, flags);
}

void BufferedSocket::writeGathered(std::vector<QByteArrayView> pieces, bool moreFollows) {
    std::vector<iovec> parts;
    parts.reserve(pieces.size());
    for (const QByteArrayView piece : pieces) {
        if (!piece.isEmpty()) parts.push_back(iovec{const_cast<char *>(piece.data()), size_t(piece.size())});
    }
    msghdr message{};
    const int flags = MSG_NOSIGNAL | (moreFollows ? MSG_MORE : 0);
    size_t next = 0;
    while (next < parts.size()) {
        message.msg_iov = parts.data() + next;
        message.msg_iovlen = std::min<size_t>(parts.size() - next, IOV_MAX);
        ssize_t sent = fd_ < 0 ? -1 : ::sendmsg(fd_, &message, flags);
        if (sent <= 0) throw AdbClientError::connectionFailed();
        // Past the pieces sent whole, into the one sent in part.
        while (next < parts.size() && size_t(sent) >= parts[next].iov_len) sent -= ssize_t(parts[next++].iov_len);
        if (next < parts.size()) {
            parts[next].iov_base = static_cast<char *>(parts[next].iov_base) + sent;
            parts[next].iov_len -= size_t(sent);
        }
    }
}

bool BufferedSocket::receiveOnce() {
    if (fd_ < 0) return false;
    const qsizetype filled = buffer_.size();
    buffer_.resize(filled + receiveBlockSize);
    const ssize_t received = receive(buffer_.data() + filled, size_t(receiveBlockSize), 0);
    buffer_.resize(filled + (received > 0 ? received : 0));
    return received > 0;
}

void BufferedSocket::fill(qsizetype count) {
    while (buffer_.size() - offset_ < count) {
        if (!receiveOnce()) throw AdbClientError::protocolError(QStringLiteral("unexpected EOF"));
    }
}

void BufferedSocket::consume(qsizetype count) {
    offset_ += count;
    if (offset_ > discardThreshold) {
        buffer_.remove(0, offset_);
        offset_ = 0;
    }
}

QByteArray BufferedSocket::readExactly(qsizetype count) {
    if (count <= 0) return {};
    fill(count);
    QByteArray result = buffer_.sliced(offset_, count);
    consume(count);
    return result;
}

void BufferedSocket::readInto(char *into, qsizetype count) {
    const qsizetype buffered = std::min(count, buffer_.size() - offset_);
    if (buffered > 0) {
        std::memcpy(into, buffer_.constData() + offset_, size_t(buffered));
        consume(buffered);
    }
    qsizetype done = buffered;
    while (count - done >= receiveBlockSize) {
        const ssize_t received = fd_ < 0 ? -1 : receive(into + done, size_t(count - done), MSG_WAITALL);
        if (received <= 0) throw AdbClientError::protocolError(QStringLiteral("unexpected EOF"));
        done += received;
    }
    // A short rest comes through the buffer, with whatever follows it.
    if (done < count) {
        fill(count - done);
        std::memcpy(into + done, buffer_.constData() + offset_, size_t(count - done));
        consume(count - done);
    }
}

quint32 BufferedSocket::readUInt32() { return adbwire::readUInt32LE(readExactly(4)); }

QByteArray BufferedSocket::readToEnd() {
    QByteArray result = buffer_.sliced(offset_);
    buffer_.clear();
    offset_ = 0;
    // Receive straight into the result; the stream's end or an error ends it.
    std::swap(buffer_, result);
    while (receiveOnce()) {
    }
    std::swap(buffer_, result);
    return result;
}

QByteArray BufferedSocket::readUpTo(qsizetype limit) {
    while (buffer_.size() - offset_ < limit && receiveOnce()) {
    }
    const qsizetype count = std::min(limit, buffer_.size() - offset_);
    QByteArray result = buffer_.sliced(offset_, count);
    consume(count);
    return result;
}
