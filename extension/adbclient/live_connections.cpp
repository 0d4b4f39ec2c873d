#include "extension/adbclient/live_connections.h"

#include <atomic>
#include <mutex>
#include <set>
#include <sys/socket.h>

namespace {

std::mutex mutex;
std::set<int> open;
std::atomic<bool> stopped{false};

} // namespace

void LiveConnections::interruptAll() {
    std::lock_guard lock(mutex);
    stopped = true;
    for (const int fd : open) ::shutdown(fd, SHUT_RDWR);
}

bool LiveConnections::interrupted() { return stopped; }

bool LiveConnections::enter(int fd) {
    std::lock_guard lock(mutex);
    if (stopped) return false;
    open.insert(fd);
    return true;
}

void LiveConnections::leave(int fd) {
    std::lock_guard lock(mutex);
    open.erase(fd);
}
