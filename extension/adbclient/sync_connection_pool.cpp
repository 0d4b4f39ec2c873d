#include "extension/adbclient/sync_connection_pool.h"

#include <utility>

SyncLease::SyncLease(std::shared_ptr<SyncConnectionPool> pool, BufferedSocket connection, bool wasIdle)
    : pool_(std::move(pool)), connection_(std::move(connection)), wasIdle_(wasIdle) {}

SyncLease::SyncLease(SyncLease &&other) noexcept
    : pool_(std::move(other.pool_)), connection_(std::move(other.connection_)), wasIdle_(other.wasIdle_),
      reusable_(std::exchange(other.reusable_, false)) {}

SyncLease::~SyncLease() {
    if (pool_ && reusable_ && connection_.isOpen()) pool_->giveBack(std::move(connection_));
}

std::shared_ptr<SyncConnectionPool> SyncConnectionPool::create(int capacity, std::chrono::milliseconds idleLimit) {
    std::shared_ptr<SyncConnectionPool> pool(new SyncConnectionPool(capacity, idleLimit));
    pool->closer_ = std::jthread([raw = pool.get()](std::stop_token stop) { raw->closeExpired(stop); });
    return pool;
}

SyncConnectionPool::SyncConnectionPool(int capacity, std::chrono::milliseconds idleLimit) : capacity_(capacity), idleLimit_(idleLimit) {}

SyncConnectionPool::~SyncConnectionPool() {
    closer_.request_stop();
    if (closer_.joinable()) closer_.join();
}

SyncLease SyncConnectionPool::acquire(const std::function<BufferedSocket()> &open) {
    for (;;) {
        std::optional<BufferedSocket> reused;
        {
            std::lock_guard lock(mutex_);
            if (idle_.empty()) break;
            reused.emplace(std::move(idle_.back().connection));
            idle_.pop_back();
        }
        // The server closes the connections of a phone that left.
        if (!reused->peerClosed()) return SyncLease(shared_from_this(), std::move(*reused), true);
    }
    return SyncLease(shared_from_this(), open(), false);
}

std::optional<adbwire::SyncDialect> SyncConnectionPool::dialect() const {
    std::lock_guard lock(mutex_);
    return dialect_;
}

void SyncConnectionPool::rememberDialect(adbwire::SyncDialect dialect) {
    std::lock_guard lock(mutex_);
    dialect_ = dialect;
}

int SyncConnectionPool::idleCount() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(idle_.size());
}

void SyncConnectionPool::giveBack(BufferedSocket connection) {
    std::lock_guard lock(mutex_);
    if (static_cast<int>(idle_.size()) >= capacity_) return;   // closed as it goes
    idle_.push_back(Idle{std::move(connection), std::chrono::steady_clock::now()});
    // A closer that waits for an older connection's end finds this one then:
    // waking it for every request would cost two thread switches each time.
    if (closerWaitsForAny_) changed_.notify_all();
}

void SyncConnectionPool::closeExpired(std::stop_token stop) {
    std::unique_lock lock(mutex_);
    while (!stop.stop_requested()) {
        const auto now = std::chrono::steady_clock::now();
        // The oldest are at the front.
        while (!idle_.empty() && now - idle_.front().since >= idleLimit_) idle_.pop_front();
        if (idle_.empty()) {
            closerWaitsForAny_ = true;
            changed_.wait(lock, stop, [this] { return !idle_.empty(); });
            closerWaitsForAny_ = false;
        } else {
            changed_.wait_until(lock, stop, idle_.front().since + idleLimit_, [] { return false; });
        }
    }
    idle_.clear();
}
