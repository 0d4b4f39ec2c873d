#pragma once

#include "platform/fileprovider/host/content_stream.h"

#include <condition_variable>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace fileprovider {

// The reads of one open file, answered while its transfer goes on. The
// transfer runs ahead of the reader by at most a window of memory and waits
// while the window is full; a read is answered once its bytes are in the
// window. A read far ahead of the transfer, or behind what the window still
// holds, is fetched on its own instead of waiting for or restarting the
// transfer. Nothing is written to disk.
class StreamedRead {
public:
    // What one file may hold in memory: the transfer ahead of the furthest
    // read, and a little behind it for reads that arrive out of order.
    static constexpr qint64 windowBytes = 3LL << 20;
    static constexpr qint64 keptBehind = 512LL << 10;
    // Nearer than this, a read waits for the transfer rather than asking apart.
    static constexpr qint64 farAhead = 2LL << 20;
    // How far the transfer runs ahead of what was asked for, until reads
    // show they follow it: a jump to the end of a video is not kept waiting
    // behind megabytes nobody wants, on a slow link.
    static constexpr qint64 firstReadAhead = 512LL << 10;
    // Least fetched by a read asked apart, kept for the reads after it: a
    // reader past the page cache comes in small pieces (tail in 8 KiB).
    static constexpr qint64 apartAtLeast = 128LL << 10;

    // Starts taking the stream's bytes at once; `size` is the file's.
    StreamedRead(ContentStreamPointer stream, qint64 size);
    // Ends the transfer; nothing of it stays.
    ~StreamedRead();
    StreamedRead(const StreamedRead &) = delete;
    StreamedRead &operator=(const StreamedRead &) = delete;

    qint64 size() const;
    // Fills `into` with `length` bytes from `offset`, fewer only where the
    // file ends; never fewer for bytes that did not arrive. A wait ends
    // early once `abandoned` says so.
    Outcome<qsizetype> read(char *into, qsizetype length, qint64 offset, const std::function<bool()> &abandoned);

    // The transfer's bytes received so far, for measuring.
    qint64 transferred() const;

private:
    void pump(std::stop_token stop);
    Outcome<qsizetype> readApart(char *into, qsizetype length, qint64 offset);
    // With the mutex held: copies the read from what was last fetched apart.
    bool readFromApart(char *into, qsizetype length, qint64 offset) const;
    // With the mutex held: lets the window move on past what readers left behind.
    void slideWindow();

    const ContentStreamPointer stream_;
    const qint64 capacity_;
    const std::unique_ptr<char[]> ring_;
    mutable std::mutex mutex_;
    std::condition_variable_any changed_;
    // The window holds the file's bytes [start_, end_).
    qint64 start_ = 0;
    qint64 end_ = 0;
    qint64 size_;
    qint64 furthestAsked_ = 0;
    qint64 furthestWanted_ = 0;
    qint64 readAhead_ = firstReadAhead;
    // A read the transfer serves has come: until then nothing is fetched in
    // order, so a first jump to the end of the file starts no transfer.
    bool wanted_ = false;
    bool ended_ = false;
    // Why the transfer ended early, if it failed.
    std::optional<ProviderError> failure_;
    // The least end of the window some waiting read needs: the transfer
    // wakes readers once that arrived, not for every piece it receives.
    qint64 awaitedEnd_ = std::numeric_limits<qint64>::max();
    // The bytes last fetched apart, from apartStart_.
    qint64 apartStart_ = 0;
    QByteArray apart_;
    // Last: stopped before the rest goes.
    std::jthread pump_;
};

} // namespace fileprovider
