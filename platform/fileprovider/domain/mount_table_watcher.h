#pragma once

#include "platform/posix/file_descriptor.h"

#include <QObject>

class QSocketNotifier;

// Tells when the mount table of this process changes: a mount added or
// removed by anyone, such as `fusermount3 -u` or the file manager's eject.
// The kernel marks /proc/self/mountinfo exceptional (POLLPRI) on each change,
// so nothing polls.
class MountTableWatcher : public QObject {
    Q_OBJECT
public:
    explicit MountTableWatcher(QObject *parent = nullptr);
    ~MountTableWatcher() override;
    MountTableWatcher(const MountTableWatcher &) = delete;
    MountTableWatcher &operator=(const MountTableWatcher &) = delete;

    // False where the mount table cannot be opened; `changed` then never comes.
    bool isWatching() const { return notifier_ != nullptr; }

signals:
    void changed();

private:
    posix::FileDescriptor descriptor_;
    QSocketNotifier *notifier_ = nullptr;
};
