#include "platform/fileprovider/host/work_queue.h"

#include <condition_variable>
#include <cstdio>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>

namespace fileprovider {

namespace {

thread_local bool besideRequested = false;

// Jobs on threads of their own, counted so that the process ends only after them.
std::mutex besideMutex;
std::condition_variable besideEnded;
int besideRunning = 0;

void runGuarded(const std::function<void()> &job) {
    // A job that throws has broken its own contract; say so rather than
    // take the whole process down with it.
    try {
        job();
    } catch (const std::exception &error) {
        std::fprintf(stderr, "VaneFileProvider: a job failed: %s\n", error.what());
    } catch (...) {
        std::fprintf(stderr, "VaneFileProvider: a job failed\n");
    }
}

} // namespace

WorkQueue::Beside::Beside() : outer_(std::exchange(besideRequested, true)) {}

WorkQueue::Beside::~Beside() { besideRequested = outer_; }

void WorkQueue::async(std::function<void()> job) {
    if (!besideRequested) return runGuarded(job);
    {
        std::lock_guard lock(besideMutex);
        ++besideRunning;
    }
    std::thread([job = std::move(job)]() mutable {
        runGuarded(job);
        // Its captures go before the count says it ended.
        job = nullptr;
        std::lock_guard lock(besideMutex);
        --besideRunning;
        besideEnded.notify_all();
    }).detach();
}

bool WorkQueue::waitForBesideJobs(std::chrono::milliseconds limit) {
    std::unique_lock lock(besideMutex);
    return besideEnded.wait_for(lock, limit, [] { return besideRunning == 0; });
}

} // namespace fileprovider
