#pragma once

#include "extension/adbclient/sync_connection_pool.h"

#include <QtGlobal>

#include <atomic>

// A phone file's bytes in order, as RECV brings them, for a reader that
// wants them before the transfer is over. Failures are AdbClientError.
class PullStream {
public:
    explicit PullStream(SyncLease lease) : lease_(std::move(lease)) {}
    PullStream(PullStream &&other) noexcept
        : lease_(std::move(other.lease_)), chunkLeft_(other.chunkLeft_), ended_(other.ended_.load()) {}

    // The next bytes, at most `capacity`; 0 once the whole file is read.
    qsizetype read(char *into, qsizetype capacity);
    // Ends the transfer from another thread: a read waiting for bytes fails.
    // A finished transfer's connection is left for the next request.
    void cancel() {
        if (!ended_) lease_.connection().shutdownBothWays();
    }

private:
    SyncLease lease_;
    qsizetype chunkLeft_ = 0;
    std::atomic<bool> ended_{false};
};
