#pragma once

#include "platform/fileprovider/host/content_stream.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>

namespace fileprovider {

// The reads of one open file, answered from its transfer as it goes on.
// The transfer moves only when a read needs its next bytes, and the thread
// of that read receives them itself: no thread stands between a read and
// the socket. The window of memory holds the bytes received and a little
// behind the furthest read, for reads that arrive out of order. A read far
// ahead of the transfer, or behind what the window still holds, is fetched
// on its own instead of waiting for or restarting the transfer. Nothing is
// written to disk.
class StreamedRead {
public:
    // What one file may hold in memory.
    static constexpr qint64 windowBytes = 3LL << 20;
    static constexpr qint64 keptBehind = 512LL << 10;
    // Nearer than this, a read waits for the transfer rather than asking apart.
    static constexpr qint64 farAhead = 2LL << 20;
    // Least fetched by a read asked apart, kept for the reads after it: a
    // reader past the page cache comes in small pieces (tail in 8 KiB).
    static constexpr qint64 apartAtLeast = 128LL << 10;

    // `size` is the file's. Nothing is received before the first read.
    StreamedRead(ContentStreamPointer stream, qint64 size);
    // Ends the transfer; nothing of it stays.
    ~StreamedRead();
    StreamedRead(const StreamedRead &) = delete;
    StreamedRead &operator=(const StreamedRead &) = delete;

    qint64 size() const;
    // Fills `into` with `length` bytes from `offset`, fewer only where the
    // file ends; never fewer for bytes that did not arrive.
    Outcome<qsizetype> read(char *into, qsizetype length, qint64 offset);

    // The transfer's bytes received so far, for measuring.
    qint64 transferred() const;

private:
    // With the mutex held through `lock`: receives the transfer's next
    // bytes, letting go of the mutex meanwhile.
    void receiveNext(std::unique_lock<std::mutex> &lock);
    Outcome<qsizetype> readApart(char *into, qsizetype length, qint64 offset);
    // With the mutex held: copies the read from what was last fetched apart.
    bool readFromApart(char *into, qsizetype length, qint64 offset) const;
    // With the mutex held: lets the window move on past what readers left behind.
    void slideWindow();

    const ContentStreamPointer stream_;
    const qint64 capacity_;
    const std::unique_ptr<char[]> ring_;
    mutable std::mutex mutex_;
    std::condition_variable received_;
    // The window holds the file's bytes [start_, end_).
    qint64 start_ = 0;
    qint64 end_ = 0;
    qint64 size_;
    qint64 furthestAsked_ = 0;
    // A read is receiving for everyone; the others wait for it.
    bool receiving_ = false;
    bool ended_ = false;
    // Why the transfer ended early, if it failed.
    std::optional<ProviderError> failure_;
    // The bytes last fetched apart, from apartStart_.
    qint64 apartStart_ = 0;
    QByteArray apart_;
};

} // namespace fileprovider
