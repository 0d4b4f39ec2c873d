#pragma once

#include "platform/fileprovider/host/direct_io_mapping.h"
#include "platform/fileprovider/host/fuse_bridge.h"

#include <QString>

#include <atomic>
#include <memory>
#include <pthread.h>
#include <stdexcept>

struct fuse;

namespace fileprovider {

class MountFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One live FUSE mount served by a bridge. Mounted by the constructor,
// unmounted (lazily, should a reader still hold it) by the destructor.
class FuseMount {
public:
    // Throws MountFailure saying why the mount could not be made.
    FuseMount(FuseBridge &bridge, const QString &mountpoint, const QString &filesystemName);
    ~FuseMount();
    FuseMount(const FuseMount &) = delete;
    FuseMount &operator=(const FuseMount &) = delete;

    // Serves the kernel's requests on several threads until stop() is
    // called or the mount is removed from outside. Returns 0 then, or the
    // loop's error.
    int serve();
    // From any thread but a signal handler. Returns once serve() has ended
    // (or at once when it is not running).
    void stop();
    // Stops, after the mount left the mount table (a lazy unmount). Its
    // path is no longer this mount's, so nothing is unmounted there.
    void stopDetached();

    const QString &mountpoint() const { return mountpoint_; }

private:
    FuseBridge &bridge_;
    QString mountpoint_;
    struct fuse *fuse_ = nullptr;
    std::unique_ptr<DirectIoMapping> directIoMapping_;
    std::atomic<bool> serving_{false};
    std::atomic<bool> detached_{false};
    std::atomic<pthread_t> servingThread_{};
};

} // namespace fileprovider
