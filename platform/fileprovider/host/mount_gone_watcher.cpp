#include "platform/fileprovider/host/mount_gone_watcher.h"

#include "platform/fileprovider/domain/mount_table.h"

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace fileprovider {

MountGoneWatcher::MountGoneWatcher(QString mountpoint, std::function<void()> gone)
    : mountpoint_(std::move(mountpoint)), gone_(std::move(gone)), table_(::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC)),
      wake_(::eventfd(0, EFD_CLOEXEC)) {
    // Without either, lazy unmounts are only noticed once the kernel ends the session.
    if (table_.isOpen() && wake_.isOpen()) thread_ = std::thread([this] { watch(); });
}

MountGoneWatcher::~MountGoneWatcher() {
    if (!thread_.joinable()) return;
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(wake_.get(), &one, sizeof one);
    thread_.join();
}

QByteArray MountGoneWatcher::readTable() const {
    QByteArray text;
    char block[16384];
    ::lseek(table_.get(), 0, SEEK_SET);
    for (;;) {
        const ssize_t got = ::read(table_.get(), block, sizeof block);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return text;
        text.append(block, got);
    }
}

void MountGoneWatcher::watch() {
    for (;;) {
        // The kernel marks the table with POLLPRI whenever a mount comes or goes.
        pollfd watched[2] = {{table_.get(), POLLPRI, 0}, {wake_.get(), POLLIN, 0}};
        if (::poll(watched, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (watched[1].revents != 0) return;
        // Read through the descriptor watched: that is what re-arms it.
        const QByteArray table = readTable();
        if (!table.isEmpty() && !isFuseMountedAt(parseMountInfo(table), mountpoint_)) return gone_();
    }
}

} // namespace fileprovider
