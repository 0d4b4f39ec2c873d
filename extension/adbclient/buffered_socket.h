#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <sys/types.h>

#include <vector>

// One blocking TCP connection to the adb server on 127.0.0.1 with a read
// buffer. It belongs to the one operation that opened it and is closed when
// the value goes away, on every path.
class BufferedSocket {
public:
    // Receives are made in blocks of this size.
    static constexpr qsizetype receiveBlockSize = 32768;
    // Consumed bytes stay at the front of the buffer until more than this
    // many have piled up, so most reads shift nothing.
    static constexpr qsizetype discardThreshold = 65536;

    // Connects to 127.0.0.1 on `port`; connectionFailed when nobody answers.
    static BufferedSocket connect(quint16 port);

    BufferedSocket(BufferedSocket &&other) noexcept;
    BufferedSocket &operator=(BufferedSocket &&other) noexcept;
    BufferedSocket(const BufferedSocket &) = delete;
    BufferedSocket &operator=(const BufferedSocket &) = delete;
    ~BufferedSocket();

    // Sends every byte; connectionFailed when the peer is gone. Never raises
    // SIGPIPE. `moreFollows` marks the leading part of a packet: the kernel
    // holds it back for the rest, so the peer's delayed acknowledgement of a
    // lone header cannot stall every request by tens of milliseconds.
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
        sink(QByteArrayView(buffer_.constData() + offset_, count));
        consume(count);
    }
    // As readExactly, into `into`: a large read skips the buffer and is
    // received where it is wanted.
    void readInto(char *into, qsizetype count);
    // A little-endian 32-bit integer, read as readExactly(4).
    quint32 readUInt32();
    // Everything up to the end of the stream; a receive error ends it too.
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

    bool isOpen() const { return fd_ >= 0; }
    // Inspection of the buffer, for the discard rule.
    qsizetype bufferedSize() const { return buffer_.size(); }
    qsizetype consumedOffset() const { return offset_; }

private:
    explicit BufferedSocket(int fd) : fd_(fd) {}
    // Appends one receive to the buffer; false at the end of the stream or on error.
    bool receiveOnce();
    ssize_t receive(char *into, size_t size, int flags);
    // Receives until `count` unread bytes are buffered; unexpected EOF otherwise.
    void fill(qsizetype count);
    // Marks `count` bytes read and drops the consumed front once it is large.
    void consume(qsizetype count);

    int fd_ = -1;
    QByteArray buffer_;
    qsizetype offset_ = 0;
};
