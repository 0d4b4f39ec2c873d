#pragma once

#include <chrono>
#include <functional>

namespace fileprovider {

// The extension's global concurrent queue. Here the host is the queue: a
// job runs on the thread that scheduled it, which is the FUSE worker that
// received the request, so nothing stands between a request and the socket
// it ends on, and libfuse's worker threads give the concurrency. Work that
// must go on beside the thread that asked for it (an upload fed while its
// file is still being written) is scheduled inside a `WorkQueue::Beside`
// and gets a thread of its own.
class WorkQueue {
public:
    static void async(std::function<void()> job);

    // While one lives, jobs this thread schedules run on threads of their own.
    class Beside {
    public:
        Beside();
        ~Beside();
        Beside(const Beside &) = delete;
        Beside &operator=(const Beside &) = delete;

    private:
        bool outer_;
    };

    // True when every job on a thread of its own has ended within `limit`.
    static bool waitForBesideJobs(std::chrono::milliseconds limit);
};

} // namespace fileprovider
