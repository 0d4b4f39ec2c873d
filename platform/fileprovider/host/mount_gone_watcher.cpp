#include "platform/fileprovider/host/mount_gone_watcher.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fileprovider {

namespace {

// Whether a file system other than its parent's is mounted at `path`. A
// stat of a live mount's root is answered by the kernel's cache or by the
// bridge itself, never by the phone.
bool somethingMountedAt(const QString &path) {
    struct stat mountpoint{};
    struct stat parent{};
    const QByteArray native = QFile::encodeName(path);
    const QByteArray parentNative = QFile::encodeName(QFileInfo(path).absolutePath());
    if (::stat(native.constData(), &mountpoint) != 0 || ::stat(parentNative.constData(), &parent) != 0) return true;
    return mountpoint.st_dev != parent.st_dev;
}

} // namespace

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

void MountGoneWatcher::rearm() const {
    // A read to the end is what clears the table's mark.
    char block[16384];
    ::lseek(table_.get(), 0, SEEK_SET);
    while (::read(table_.get(), block, sizeof block) > 0) {}
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
        rearm();
        if (!somethingMountedAt(mountpoint_)) return gone_();
    }
}

} // namespace fileprovider
