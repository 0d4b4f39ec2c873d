#include "platform/fileprovider/host/streamed_read.h"

#include "platform/fileprovider/host/errno_mapping.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace fileprovider {

namespace {

// Bytes asked of the stream at a time: a read takes what already came, up
// to this, and waits for little more than its own bytes.
constexpr qint64 receiveStep = 256 * 1024;

ProviderError cutShort() { return ProviderError::posix(EIO, QStringLiteral("The file's transfer ended before its end.")); }

} // namespace

StreamedRead::StreamedRead(ContentStreamPointer stream, qint64 size)
    : stream_(std::move(stream)), capacity_(std::clamp<qint64>(size, 64 * 1024, windowBytes)),
      ring_(new char[size_t(capacity_)]), size_(size) {
    // A file that came whole with its opening is taken at once.
    if (stream_->arrivedWhole() && size <= capacity_) {
        while (!ended_) {
            auto received = stream_->readNext(ring_.get() + end_, capacity_ - end_);
            const qsizetype count = std::holds_alternative<qsizetype>(received) ? std::get<qsizetype>(received) : 0;
            end_ += count;
            ended_ = count == 0 || end_ == capacity_;
        }
    }
}

StreamedRead::~StreamedRead() { stream_->cancel(); }

qint64 StreamedRead::size() const {
    std::lock_guard lock(mutex_);
    return size_;
}

qint64 StreamedRead::transferred() const {
    std::lock_guard lock(mutex_);
    return end_;
}

void StreamedRead::receiveNext(std::unique_lock<std::mutex> &lock) {
    const qint64 position = end_ % capacity_;
    const qint64 room = std::min({capacity_ - (end_ - start_), capacity_ - position, receiveStep});
    receiving_ = true;
    lock.unlock();
    // Outside the lock: readers only touch [start_, end_), and this is beyond it.
    auto received = stream_->readNext(ring_.get() + position, room);
    lock.lock();
    receiving_ = false;
    // A failed transfer leaves the bytes it did not bring to reads apart.
    if (auto *error = std::get_if<ProviderError>(&received)) {
        ended_ = true;
        failure_ = *error;
    } else if (const qsizetype count = std::get<qsizetype>(received); count == 0) {
        ended_ = true;
    } else {
        end_ += count;
        // A file that grew since its size was taken.
        size_ = std::max(size_, end_);
    }
    received_.notify_all();
}

void StreamedRead::slideWindow() { start_ = std::max(start_, std::min(end_, furthestAsked_ - keptBehind)); }

Outcome<qsizetype> StreamedRead::read(char *into, qsizetype length, qint64 offset) {
    std::unique_lock lock(mutex_);
    if (offset < 0) return ProviderError::posix(EINVAL);
    if (offset >= size_ || length <= 0) return qsizetype(0);
    length = qsizetype(std::min<qint64>(length, size_ - offset));
    // Only reads the transfer will serve move it; a jump far away and back
    // (a player reading an index at the end) leaves the window as it was.
    if (offset >= start_ && offset <= end_ + farAhead) {
        furthestAsked_ = std::max(furthestAsked_, offset);
        slideWindow();
    }
    for (;;) {
        if (offset >= start_ && offset + length <= end_) {
            const qint64 first = offset % capacity_;
            const qint64 firstPart = std::min<qint64>(length, capacity_ - first);
            std::memcpy(into, ring_.get() + first, size_t(firstPart));
            std::memcpy(into + firstPart, ring_.get(), size_t(length - firstPart));
            return length;
        }
        if (readFromApart(into, length, offset)) return length;
        // A phone that went silent would keep a read apart waiting as long again.
        if (ended_ && failure_ && errnoFor(*failure_) == ETIMEDOUT) return *failure_;
        // Behind the window, far ahead of it, or never coming: asked apart.
        if (offset < start_ || offset > end_ + farAhead || ended_ || length > capacity_) break;
        if (receiving_) {
            received_.wait(lock);
        } else if (end_ - start_ < capacity_) {
            receiveNext(lock);
        } else {
            // The window is full of bytes before this read that others still hold.
            break;
        }
    }
    lock.unlock();
    return readApart(into, length, offset);
}

bool StreamedRead::readFromApart(char *into, qsizetype length, qint64 offset) const {
    if (offset < apartStart_ || offset + length > apartStart_ + apart_.size()) return false;
    std::memcpy(into, apart_.constData() + (offset - apartStart_), size_t(length));
    return true;
}

Outcome<qsizetype> StreamedRead::readApart(char *into, qsizetype length, qint64 offset) {
    qint64 fetch = length;
    {
        std::lock_guard lock(mutex_);
        fetch = std::max<qint64>(length, std::min(apartAtLeast, size_ - offset));
    }
    auto range = stream_->readRange(offset, fetch);
    if (auto *error = std::get_if<ProviderError>(&range)) return *error;
    QByteArray &bytes = std::get<QByteArray>(range);
    // The size was promised to the reader: fewer bytes are not the file's end.
    if (bytes.size() < length) return cutShort();
    std::memcpy(into, bytes.constData(), size_t(length));
    std::lock_guard lock(mutex_);
    apartStart_ = offset;
    apart_ = std::move(bytes);
    return length;
}

} // namespace fileprovider
