#include "tools/phone-sim/transport.h"

#include <cerrno>
#include <cstdio>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

namespace phonesim {

namespace {

// What a cable carries at a time; the adb server reads a long message as it comes.
constexpr size_t kLinkPiece = 64 * 1024;
// A misbehaving peer that ignores the flow control could otherwise make a
// stream's queue grow without end.
constexpr size_t kMaxQueuedWrites = 8;
// Payloads at least this big come from the pool; a few are kept there.
constexpr size_t kPooledSize = 64 * 1024;
constexpr size_t kPoolDepth = 6;

bool isKnownCommand(uint32_t command) {
    switch (command) {
    case kCommandSync:
    case kCommandCnxn:
    case kCommandAuth:
    case kCommandOpen:
    case kCommandOkay:
    case kCommandClse:
    case kCommandWrte:
        return true;
    default:
        return false;
    }
}

} // namespace

bool isWellFormed(const MessageHeader &header, uint32_t maxPayload) {
    return header.magic == (header.command ^ 0xffffffffu) && isKnownCommand(header.command) && header.length <= maxPayload;
}

void tuneSocket(int fd) {
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

bool sendAll(int fd, const void *data, size_t size) {
    const auto *in = static_cast<const char *>(data);
    while (size > 0) {
        const ssize_t n = ::send(fd, in, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        in += n;
        size -= size_t(n);
    }
    return true;
}

bool receiveAll(int fd, void *data, size_t size) {
    auto *out = static_cast<char *>(data);
    while (size > 0) {
        const ssize_t n = ::recv(fd, out, size, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        out += n;
        size -= size_t(n);
    }
    return true;
}

// ---------------------------------------------------------------- Stream

Stream::Stream(Connection &connection, uint32_t localId, uint32_t remoteId, bool consumesInput)
    : connection_(connection), localId_(localId), remoteId_(remoteId), consumesInput_(consumesInput) {}

size_t Stream::maxPayload() const { return connection_.maxPayload(); }
Buffer Stream::takeBuffer(size_t size) { return connection_.takeBuffer(size); }
void Stream::recycle(Buffer buffer) { connection_.recycle(std::move(buffer)); }

bool Stream::write(const void *data, size_t size) {
    const char *bytes = static_cast<const char *>(data);
    const size_t chunk = connection_.maxPayload();
    while (size > 0) {
        const size_t n = size < chunk ? size : chunk;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] { return (canSend_ && !outbox_.data) || remoteClosed_ || localClosed_ || abandoned_; });
            if (remoteClosed_ || localClosed_ || abandoned_) return false;
            canSend_ = false;
        }
        if (!connection_.sendMessage(kCommandWrte, localId_, remoteId_, bytes, n)) return false;
        bytes += n;
        size -= n;
    }
    return true;
}

bool Stream::post(Buffer buffer, Buffer *next) {
    bool sendNow = false;
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return !outbox_.data || remoteClosed_ || localClosed_ || abandoned_; });
        if (remoteClosed_ || localClosed_ || abandoned_) return false;
        if (canSend_) {
            canSend_ = false;
            sendNow = true;
        } else {
            outbox_ = std::move(buffer);
            if (spare_.data) *next = std::move(spare_);
        }
    }
    if (sendNow) {
        if (!connection_.sendMessage(kCommandWrte, localId_, remoteId_, buffer.data.get(), buffer.size)) return false;
        *next = std::move(buffer);
    }
    if (!next->data) *next = connection_.takeBuffer(connection_.maxPayload());
    next->size = connection_.maxPayload();
    return true;
}

bool Stream::takeNext() {
    bool answer;
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return !inbound_.empty() || remoteClosed_ || abandoned_; });
        if (inbound_.empty() || abandoned_) return false;
        connection_.recycle(std::move(current_));
        current_ = std::move(inbound_.front().buffer);
        answer = !inbound_.front().answered;
        inbound_.pop_front();
        position_ = 0;
    }
    if (answer) connection_.sendMessage(kCommandOkay, localId_, remoteId_);
    return true;
}

bool Stream::readSome(size_t max, const char **data, size_t *size) {
    while (position_ >= current_.size) {
        if (!takeNext()) return false;
    }
    const size_t available = current_.size - position_;
    *data = current_.data.get() + position_;
    *size = available < max ? available : max;
    position_ += *size;
    return true;
}

bool Stream::read(void *data, size_t size) {
    char *out = static_cast<char *>(data);
    while (size > 0) {
        const char *piece;
        size_t n;
        if (!readSome(size, &piece, &n)) return false;
        std::memcpy(out, piece, n);
        out += n;
        size -= n;
    }
    return true;
}

void Stream::close() {
    bool send;
    {
        std::unique_lock lock(mutex_);
        if (localClosed_) return;
        // What was handed over goes out before the end.
        changed_.wait(lock, [&] { return !outbox_.data || remoteClosed_ || abandoned_; });
        localClosed_ = true;
        send = !abandoned_;
    }
    changed_.notify_all();
    if (send) connection_.sendMessage(kCommandClse, localId_, remoteId_);
}

bool Stream::accept(Buffer buffer, bool *answered) {
    bool answerNow;
    {
        std::lock_guard lock(mutex_);
        if (inbound_.size() >= kMaxQueuedWrites) return false;
        // While the service keeps up, answer at once so that the next write
        // is already on its way; otherwise it is answered when taken. Either
        // way no more than three writes are ever held.
        answerNow = inbound_.empty();
    }
    // Only this thread adds to the queue, so the choice holds; answering
    // before the service can see the bytes keeps the OKAY ahead of its reply.
    if (answerNow && !connection_.sendMessage(kCommandOkay, localId_, remoteId_)) return false;
    {
        std::lock_guard lock(mutex_);
        inbound_.push_back(Pending{std::move(buffer), answerNow});
    }
    changed_.notify_all();
    *answered = answerNow;
    return true;
}

void Stream::remoteReady() {
    Buffer sending;
    {
        std::lock_guard lock(mutex_);
        if (outbox_.data && !abandoned_) sending = std::move(outbox_);
        else canSend_ = true;
    }
    if (sending.data) {
        // Sent from here, the next write leaves without waiting for the
        // service's thread to wake up.
        const bool sent = connection_.sendMessage(kCommandWrte, localId_, remoteId_, sending.data.get(), sending.size);
        std::lock_guard lock(mutex_);
        if (!sent) abandoned_ = true;
        spare_ = std::move(sending);
    }
    changed_.notify_all();
}

void Stream::remoteClosed() {
    {
        std::lock_guard lock(mutex_);
        remoteClosed_ = true;
    }
    changed_.notify_all();
}

void Stream::abandon() {
    {
        std::lock_guard lock(mutex_);
        abandoned_ = true;
    }
    changed_.notify_all();
}

// ------------------------------------------------------------ Connection

Connection::Connection(int fd, ServiceHost &host, LinkShape link) : fd_(fd), host_(host) {
    if (!link.shaped()) return;
    outbound_ = std::make_unique<DelayLine>(link, kLinkPiece, [this](const char *bytes, size_t size) { return writeAll(bytes, size); });
    // The phone acts on a message once all of it is there.
    inbound_ = std::make_unique<DelayLine>(link, SIZE_MAX, [this](const char *bytes, size_t size) { return deliverInbound(bytes, size); });
}

Connection::~Connection() {
    if (inbound_) inbound_->stop();
    if (outbound_) outbound_->stop();
    ::close(fd_);
}

bool Connection::writeAll(const void *data, size_t size) { return sendAll(fd_, data, size); }

// Reads messages off the socket as they come and lets the link hand them on.
void Connection::readShaped() {
    for (;;) {
        DelayLine::Packet packet = inbound_->spare();
        packet.resize(sizeof(MessageHeader));
        if (!readExactly(packet.data(), packet.size())) return;
        const auto handed = DelayLine::Clock::now();
        MessageHeader header;
        std::memcpy(&header, packet.data(), sizeof header);
        if (!isWellFormed(header, kMaxPayload)) {
            if (host_.verbose()) std::fprintf(stderr, "dorvane-phone-sim: garbled message, dropping the connection\n");
            return;
        }
        packet.resize(sizeof header + header.length);
        if (header.length > 0 && !readExactly(packet.data() + sizeof header, header.length)) return;
        if (!inbound_->push(std::move(packet), handed)) return;
    }
}

bool Connection::deliverInbound(const char *bytes, size_t) {
    MessageHeader header;
    std::memcpy(&header, bytes, sizeof header);
    Buffer payload;
    if (header.length > 0) {
        payload = takeBuffer(header.length);
        std::memcpy(payload.data.get(), bytes + sizeof header, header.length);
    }
    if (handle(header, std::move(payload))) return true;
    ::shutdown(fd_, SHUT_RDWR); // ends readShaped()
    return false;
}

// The adb server writes a header and its payload apart, with Nagle on: until
// the header is acknowledged, the payload waits, and the kernel delays that
// acknowledgement by 40 ms. The kernel drops the quick mode again by itself.
void Connection::acknowledgeNow() {
    int one = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_QUICKACK, &one, sizeof one);
}

void Connection::shutdown() { ::shutdown(fd_, SHUT_RDWR); }

bool Connection::readExactly(void *data, size_t size) {
    char *out = static_cast<char *>(data);
    while (size > 0) {
        const ssize_t n = ::recv(fd_, out, size, MSG_WAITALL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        acknowledgeNow();
        out += n;
        size -= size_t(n);
    }
    return true;
}

bool Connection::sendMessage(uint32_t command, uint32_t arg0, uint32_t arg1, const void *data, size_t size) {
    MessageHeader header;
    header.command = command;
    header.arg0 = arg0;
    header.arg1 = arg1;
    header.length = uint32_t(size);
    header.magic = command ^ 0xffffffffu;
    if (command == kCommandCnxn) {
        // Until both sides know each other's version, the check is the byte sum.
        uint32_t sum = 0;
        for (size_t i = 0; i < size; ++i) sum += static_cast<const unsigned char *>(data)[i];
        header.check = sum;
    }
    if (outbound_) {
        // The link takes the message from now; copying it is not the link's time.
        const auto handed = DelayLine::Clock::now();
        DelayLine::Packet packet = outbound_->spare();
        const char *headerBytes = reinterpret_cast<const char *>(&header);
        packet.insert(packet.end(), headerBytes, headerBytes + sizeof header);
        if (size > 0) packet.insert(packet.end(), static_cast<const char *>(data), static_cast<const char *>(data) + size);
        std::lock_guard lock(sendMutex_);
        return outbound_->push(std::move(packet), handed);
    }
    iovec parts[2];
    parts[0].iov_base = &header;
    parts[0].iov_len = sizeof header;
    parts[1].iov_base = const_cast<void *>(data);
    parts[1].iov_len = size;
    msghdr message{};
    message.msg_iov = parts;
    message.msg_iovlen = size > 0 ? 2 : 1;
    std::lock_guard lock(sendMutex_);
    size_t left = sizeof header + size;
    while (left > 0) {
        const ssize_t n = ::sendmsg(fd_, &message, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        left -= size_t(n);
        size_t skip = size_t(n);
        while (skip > 0 && message.msg_iovlen > 0) {
            if (skip >= message.msg_iov[0].iov_len) {
                skip -= message.msg_iov[0].iov_len;
                ++message.msg_iov;
                --message.msg_iovlen;
            } else {
                message.msg_iov[0].iov_base = static_cast<char *>(message.msg_iov[0].iov_base) + skip;
                message.msg_iov[0].iov_len -= skip;
                skip = 0;
            }
        }
    }
    return true;
}

void Connection::run() {
    if (inbound_) {
        readShaped();
    } else {
        for (;;) {
            MessageHeader header;
            if (!readExactly(&header, sizeof header)) break;
            if (!isWellFormed(header, kMaxPayload)) {
                if (host_.verbose()) std::fprintf(stderr, "dorvane-phone-sim: garbled message, dropping the connection\n");
                break;
            }
            Buffer payload;
            if (header.length > 0) {
                payload = takeBuffer(header.length);
                if (!readExactly(payload.data.get(), payload.size)) break;
            }
            if (!handle(header, std::move(payload))) break;
        }
    }
    ::shutdown(fd_, SHUT_RDWR);
    // No message is handled once the services are told the connection ended.
    if (inbound_) inbound_->stop();
    endAll(false);
    for (auto &worker : workers_) worker.thread.join();
    workers_.clear();
    if (outbound_) outbound_->stop();
}

Buffer Connection::takeBuffer(size_t size) {
    if (size >= kPooledSize) {
        std::lock_guard lock(poolMutex_);
        for (auto it = pool_.begin(); it != pool_.end(); ++it) {
            if (it->capacity >= size) {
                Buffer buffer = std::move(*it);
                pool_.erase(it);
                buffer.size = size;
                return buffer;
            }
        }
    }
    Buffer buffer;
    buffer.capacity = size >= kPooledSize ? std::max<size_t>(size, maxPayload_.load()) : size;
    buffer.data.reset(new char[buffer.capacity]);
    buffer.size = size;
    return buffer;
}

void Connection::recycle(Buffer buffer) {
    if (!buffer.data || buffer.capacity < kPooledSize) return;
    std::lock_guard lock(poolMutex_);
    if (pool_.size() < kPoolDepth) pool_.push_back(std::move(buffer));
}

void Connection::endAll(bool abandon) {
    std::map<uint32_t, std::shared_ptr<Stream>> streams;
    {
        std::lock_guard lock(streamsMutex_);
        streams.swap(streams_);
    }
    for (auto &[id, stream] : streams) {
        if (abandon) stream->abandon();
        else stream->remoteClosed();
    }
}

std::shared_ptr<Stream> Connection::find(uint32_t localId) {
    std::lock_guard lock(streamsMutex_);
    auto it = streams_.find(localId);
    return it == streams_.end() ? nullptr : it->second;
}

bool Connection::handle(const MessageHeader &header, Buffer payload) {
    if (header.command == kCommandCnxn) {
        if (header.arg1 < 256) return false; // no usable payload size
        if (online_) endAll(true);           // the server starts over on this connection
        maxPayload_ = header.arg1 < kMaxPayload ? header.arg1 : kMaxPayload;
        const std::string banner = host_.banner();
        if (!sendMessage(kCommandCnxn, kVersionSkipChecksum, kMaxPayload, banner.data(), banner.size())) return false;
        if (!online_) {
            online_ = true;
            host_.connectionOnline();
        }
        return true;
    }
    if (!online_) return true; // nothing else counts before the handshake
    switch (header.command) {
    case kCommandOpen: {
        if (header.arg0 == 0 || header.arg1 != 0) return true;
        const char *bytes = payload.data.get();
        size_t length = 0;
        while (length < payload.size && bytes[length] != '\0') ++length;
        open(header.arg0, std::string(bytes ? bytes : "", length));
        return true;
    }
    case kCommandOkay:
        if (auto stream = find(header.arg1)) stream->remoteReady();
        return true;
    case kCommandWrte: {
        auto stream = find(header.arg1);
        if (!stream) return true;
        if (!stream->consumesInput_) return sendMessage(kCommandOkay, stream->localId_, stream->remoteId_);
        bool answered = false;
        return stream->accept(std::move(payload), &answered);
    }
    case kCommandClse:
        if (auto stream = find(header.arg1)) stream->remoteClosed();
        return true;
    default:
        return true;
    }
}

void Connection::open(uint32_t remoteId, const std::string &name) {
    bool consumesInput = false;
    auto service = host_.service(name, &consumesInput);
    if (!service) {
        sendMessage(kCommandClse, 0, remoteId);
        return;
    }
    const uint32_t id = nextId_++;
    if (nextId_ == 0) nextId_ = 1;
    auto stream = std::make_shared<Stream>(*this, id, remoteId, consumesInput);
    {
        std::lock_guard lock(streamsMutex_);
        streams_[id] = stream;
    }
    sendMessage(kCommandOkay, id, remoteId);
    reapFinished();
    auto done = std::make_shared<std::atomic<bool>>(false);
    workers_.push_back(Worker{std::thread([this, stream, service = std::move(service), done] {
                                  service(*stream);
                                  stream->close();
                                  forget(stream->localId());
                                  done->store(true);
                              }),
                              done});
}

void Connection::forget(uint32_t localId) {
    std::lock_guard lock(streamsMutex_);
    streams_.erase(localId);
}

void Connection::reapFinished() {
    for (auto it = workers_.begin(); it != workers_.end();) {
        if (it->done->load()) {
            it->thread.join();
            it = workers_.erase(it);
        } else {
            ++it;
        }
    }
}

} // namespace phonesim
