#pragma once

#include "platform/posix/file_descriptor.h"

#include <QString>

#include <functional>
#include <thread>

namespace fileprovider {

// Calls `gone` once the mount at `mountpoint` has left it, looking each
// time the mount table changes. A lazy unmount (`fusermount3 -u -z`, or an
// eject of a busy mount) only detaches it: the kernel says nothing more
// until the last request in flight ends, which a silent phone could put
// off for good.
class MountGoneWatcher {
public:
    MountGoneWatcher(QString mountpoint, std::function<void()> gone);
    ~MountGoneWatcher();
    MountGoneWatcher(const MountGoneWatcher &) = delete;
    MountGoneWatcher &operator=(const MountGoneWatcher &) = delete;

private:
    void watch();
    void rearm() const;

    const QString mountpoint_;
    const std::function<void()> gone_;
    posix::FileDescriptor table_;
    posix::FileDescriptor wake_;
    std::thread thread_;
};

} // namespace fileprovider
