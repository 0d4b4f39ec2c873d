#include "platform/fileprovider/domain/mount_table_watcher.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

MountTableWatcher::MountTableWatcher(QObject *parent) : QObject(parent) {
    descriptor_ = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    if (descriptor_ < 0) return;
    notifier_ = new QSocketNotifier(descriptor_, QSocketNotifier::Exception, this);
    connect(notifier_, &QSocketNotifier::activated, this, &MountTableWatcher::changed);
}

MountTableWatcher::~MountTableWatcher() {
    // The notifier must let go of the descriptor before it is closed.
    delete notifier_;
    if (descriptor_ >= 0) ::close(descriptor_);
}
