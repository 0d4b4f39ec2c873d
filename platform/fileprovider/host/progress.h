#pragma once

#include <QtGlobal>

#include <atomic>
#include <memory>
#include <optional>

namespace fileprovider {

// Handed back by every request. The system may watch or cancel it; whether
// the work takes any notice is up to the extension.
class Progress {
public:
    qint64 totalUnitCount() const { return total_; }
    qint64 completedUnitCount() const { return completed_; }
    void setTotalUnitCount(qint64 count) { total_ = count; }
    void setCompletedUnitCount(qint64 count) { completed_ = count; }

    bool isCancelled() const { return cancelled_; }
    void cancel() { cancelled_ = true; }

    // For contents handed over as a stream: the writer's word that they are
    // complete at `length` bytes. A stream that merely ends may be a writer
    // that went away.
    void declareContentsComplete(qint64 length) { declared_ = length; }
    std::optional<qint64> declaredContentsLength() const {
        const qint64 length = declared_;
        return length < 0 ? std::nullopt : std::optional<qint64>(length);
    }

private:
    std::atomic<qint64> declared_{-1};
    std::atomic<qint64> total_{0};
    std::atomic<qint64> completed_{0};
    std::atomic<bool> cancelled_{false};
};

using ProgressPointer = std::shared_ptr<Progress>;

inline ProgressPointer makeProgress() { return std::make_shared<Progress>(); }

} // namespace fileprovider
