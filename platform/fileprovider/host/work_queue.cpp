#include "platform/fileprovider/host/work_queue.h"

#include <QThreadPool>

#include <cstdio>
#include <exception>

namespace fileprovider {

namespace {

QThread::Priority threadPriorityFor(QualityOfService service) {
    switch (service) {
    case QualityOfService::background: return QThread::LowestPriority;
    case QualityOfService::utility: return QThread::LowPriority;
    case QualityOfService::userInitiated: return QThread::NormalPriority;
    case QualityOfService::userInteractive: return QThread::HighPriority;
    }
    return QThread::NormalPriority;
}

} // namespace

WorkQueue::WorkQueue(QualityOfService service) : pool_(new QThreadPool) {
    pool_->setMaxThreadCount(maximumThreads);
    pool_->setThreadPriority(threadPriorityFor(service));
}

WorkQueue &WorkQueue::global(QualityOfService service) {
    // Deliberately never destroyed: see the header.
    static WorkQueue *const queues[] = {
        new WorkQueue(QualityOfService::background),
        new WorkQueue(QualityOfService::utility),
        new WorkQueue(QualityOfService::userInitiated),
        new WorkQueue(QualityOfService::userInteractive),
    };
    return *queues[static_cast<int>(service)];
}

void WorkQueue::async(std::function<void()> job) {
    pool_->start([job = std::move(job)] {
        // A job that throws has broken its own contract; say so rather than
        // take the whole process down with it.
        try {
            job();
        } catch (const std::exception &error) {
            std::fprintf(stderr, "VaneFileProvider: a job failed: %s\n", error.what());
        } catch (...) {
            std::fprintf(stderr, "VaneFileProvider: a job failed\n");
        }
    });
}

bool WorkQueue::waitForIdle(std::chrono::milliseconds limit) {
    return pool_->waitForDone(static_cast<int>(limit.count()));
}

} // namespace fileprovider
