#pragma once

#include <QByteArray>
#include <QByteArrayView>

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
    // SIGPIPE.
    void write(QByteArrayView bytes);
    // Exactly `count` bytes; protocolError "unexpected EOF" when the stream
    // ends first.
    QByteArray readExactly(qsizetype count);
    // A little-endian 32-bit integer, read as readExactly(4).
    quint32 readUInt32();
    // Everything up to the end of the stream; a receive error ends it too.
    QByteArray readToEnd();
    // Idempotent.
    void close();

    bool isOpen() const { return fd_ >= 0; }
    // Inspection of the buffer, for the discard rule.
    qsizetype bufferedSize() const { return buffer_.size(); }
    qsizetype consumedOffset() const { return offset_; }

private:
    explicit BufferedSocket(int fd) : fd_(fd) {}
    // Appends one receive to the buffer; false at the end of the stream or on error.
    bool receiveOnce();

    int fd_ = -1;
    QByteArray buffer_;
    qsizetype offset_ = 0;
};
