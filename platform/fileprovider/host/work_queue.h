#pragma once

#include <chrono>
#include <functional>

class QThreadPool;

namespace fileprovider {

enum class QualityOfService { background, utility, userInitiated, userInteractive };

// A process-wide concurrent queue: every job gets a thread of its own as
// soon as it is scheduled (up to a generous limit), so a long download
// never holds up a listing. Jobs are not ordered.
class WorkQueue {
public:
    static constexpr int maximumThreads = 64;

    // The one queue of the given service class. It is never torn down, so
    // that a job still running when the process ends finds it in place.
    static WorkQueue &global(QualityOfService service);

    void async(std::function<void()> job);
    // True when every job has finished within `limit`.
    bool waitForIdle(std::chrono::milliseconds limit);

private:
    explicit WorkQueue(QualityOfService service);

    QThreadPool *pool_;
};

} // namespace fileprovider
