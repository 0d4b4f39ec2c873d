#pragma once

#include <QtGlobal>

#include <atomic>
#include <memory>

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

private:
    std::atomic<qint64> total_{0};
    std::atomic<qint64> completed_{0};
    std::atomic<bool> cancelled_{false};
};

using ProgressPointer = std::shared_ptr<Progress>;

inline ProgressPointer makeProgress() { return std::make_shared<Progress>(); }

} // namespace fileprovider
