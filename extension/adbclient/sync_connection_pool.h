#pragma once

#include "extension/adbclient/buffered_socket.h"
#include "extension/adbclient/wire_format.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class SyncConnectionPool;

// A "sync:" connection of one phone, lent for one request or a few in a
// row. It goes back to its pool when the lease ends only after finished()
// said the last reply was read whole; a connection whose request failed,
// or that was left in the middle of a reply, is closed instead.
class SyncLease {
public:
    SyncLease(SyncLease &&other) noexcept;
    SyncLease &operator=(SyncLease &&) = delete;
    SyncLease(const SyncLease &) = delete;
    SyncLease &operator=(const SyncLease &) = delete;
    ~SyncLease();

    BufferedSocket &connection() { return connection_; }
    // It served an earlier request: a failure may only mean it went stale.
    bool wasIdle() const { return wasIdle_; }
    void finished() { reusable_ = true; }

private:
    friend class SyncConnectionPool;
    friend class AdbClient;
    SyncLease(std::shared_ptr<SyncConnectionPool> pool, BufferedSocket connection, bool wasIdle);

    std::shared_ptr<SyncConnectionPool> pool_;
    BufferedSocket connection_;
    bool wasIdle_ = false;
    bool reusable_ = false;
};

// A few idle sync connections of one phone, so that a lookup, a listing or
// the start of a read skips the connect, "host:transport:" and "sync:"
// round trips. Bounded; a connection idle for `idleLimit` is closed. It
// keeps connections only, never answers.
class SyncConnectionPool : public std::enable_shared_from_this<SyncConnectionPool> {
public:
    static constexpr int defaultCapacity = 4;
    static constexpr std::chrono::milliseconds defaultIdleLimit{5000};

    static std::shared_ptr<SyncConnectionPool> create(int capacity = defaultCapacity, std::chrono::milliseconds idleLimit = defaultIdleLimit);
    ~SyncConnectionPool();
    SyncConnectionPool(const SyncConnectionPool &) = delete;
    SyncConnectionPool &operator=(const SyncConnectionPool &) = delete;

    // An idle connection that the server has not closed, or a new one from
    // `open`, whose failures pass through. The client that leases opens
    // them, so a pool never holds another phone's connections.
    SyncLease acquire(const std::function<BufferedSocket()> &open);
    int idleCount() const;
    // What the phone's sync service speaks, once learnt: it is asked once
    // for all the connections to it.
    std::optional<adbwire::SyncDialect> dialect() const;
    void rememberDialect(adbwire::SyncDialect dialect);

private:
    SyncConnectionPool(int capacity, std::chrono::milliseconds idleLimit);
    friend class SyncLease;
    void giveBack(BufferedSocket connection);
    void closeExpired(std::stop_token stop);

    struct Idle {
        BufferedSocket connection;
        std::chrono::steady_clock::time_point since;
    };

    const int capacity_;
    const std::chrono::milliseconds idleLimit_;
    mutable std::mutex mutex_;
    std::condition_variable_any changed_;
    bool closerWaitsForAny_ = false;
    std::deque<Idle> idle_;
    std::optional<adbwire::SyncDialect> dialect_;
    // Last: stopped and joined before the connections go.
    std::jthread closer_;
};
