#pragma once

#include "platform/posix/file_descriptor.h"

#include <QByteArray>
#include <QByteArrayView>

#include <sys/socket.h>
#include <sys/types.h>
#include <sys/uio.h>

#include <vector>

// One blocking TCP connection to the adb server on 127.0.0.1 with a read
// buffer. It belongs to the one operation that opened it and is closed when
// the value goes away, on every path.
class BufferedSocket {
public:
    // Receives are made in blocks of this size.
    static constexpr qsizetype receiveBlockSize = 32768;
    // A wait for the peer that goes on this long without a byte in either
    // direction ends in phoneSilent: a Wi-Fi phone that leaves without a
    // reset would otherwise hold each request, and every process waiting
    // on the mount, until TCP gives up a quarter of an hour later. Nothing
    // asked of the phone keeps it silent that long. DORVANE_ADB_SILENCE_SECONDS
    // sets another limit.
    static int silenceSeconds();

    // Connects to 127.0.0.1 on `port`; connectionFailed when nobody answers.
    static BufferedSocket connect(quint16 port);

    BufferedSocket(BufferedSocket &&other) noexcept;
    BufferedSocket &operator=(BufferedSocket &&other) noexcept;
    BufferedSocket(const BufferedSocket &) = delete;
    BufferedSocket &operator=(const BufferedSocket &) = delete;
    ~BufferedSocket();

    // Sends every byte; connectionFailed when the peer is gone. Never raises
    // SIGPIPE. `moreFollows` marks the leading part of a packet: it is held
    // back for the rest, so the peer's delayed acknowledgement of a lone
    // header cannot stall every request by tens of milliseconds, and a
    // request costs one call into the kernel, not one per field.
    void write(QByteArrayView bytes, bool moreFollows = false);
    // The pieces, in order, as one write.
    void writeGathered(std::vector<QByteArrayView> pieces, bool moreFollows = false);
    // Exactly `count` bytes; protocolError "unexpected EOF" when the stream
    // ends first.
    QByteArray readExactly(qsizetype count);
    // As readExactly, but hands the bytes to `sink` where they lie in the
    // buffer instead of copying them out: downloads go straight to the file.
    template <typename Sink>
    void readExactlyInto(qsizetype count, Sink &&sink) {
        if (count <= 0) return;
        fill(count);
        sink(QByteArrayView(buffer_.data() + offset_, count));
        consume(count);
    }
    // As readExactly, into `into`: a large read skips the buffer and is
    // received where it is wanted. A caller that knows at least
    // `followingBytes` more will come (the next record's header) has them
    // buffered by the same receive.
    void readInto(char *into, qsizetype count, qsizetype followingBytes = 0);
    // A little-endian 32-bit integer, read as readExactly(4).
    quint32 readUInt32();
    // Everything up to the end of the stream; a receive error ends it too,
    // but a silent peer is phoneSilent.
    QByteArray readToEnd();
    // Everything up to the end of the stream, but no more than `limit`
    // bytes; the rest stays unread.
    QByteArray readUpTo(qsizetype limit);
    // Idempotent.
    void close();
    // Makes a receive blocked in another thread return; the descriptor
    // stays with its owner until close().
    void shutdownBothWays();
    // The peer has closed its end (or it is broken) while nothing is
    // unread; for checking a connection that sat idle.
    bool peerClosed() const;

    bool isOpen() const { return fd_.isOpen(); }

private:
    explicit BufferedSocket(int fd) : fd_(fd) {}
    // Appends one receive to the buffer; false at the end of the stream or on error.
    bool receiveOnce();
    ssize_t receive(char *into, size_t size, int flags);
    ssize_t receive(msghdr &message, int flags);
    // Fills every part; false when the stream ends or fails first.
    bool receiveAll(std::vector<iovec> parts);
    // Receives until `count` unread bytes are buffered; unexpected EOF otherwise.
    void fill(qsizetype count);
    // Marks `count` bytes read.
    void consume(qsizetype count);
    qsizetype unread() const { return filled_ - offset_; }
    // A copy of the first `count` unread bytes.
    QByteArray unreadBytes(qsizetype count) const;
    // Where `count` more bytes can be received, after the unread ones.
    char *roomFor(qsizetype count);

    // Sends `parts` after whatever is held back, as one write.
    void send(std::vector<iovec> parts, bool moreFollows);

    posix::FileDescriptor fd_;
    // Received bytes not yet read are [offset_, filled_). The storage is
    // kept between reads, so receiving allocates and moves nothing.
    std::vector<char> buffer_;
    qsizetype offset_ = 0;
    qsizetype filled_ = 0;
    // Leading parts of a packet not sent yet; they go with the write that
    // ends it, or before this side waits for an answer.
    QByteArray held_;
    // A request went out since the last receive: its answer cannot be here
    // yet, so the receive waits at once instead of looking first.
    bool awaitingAnswer_ = false;
};
