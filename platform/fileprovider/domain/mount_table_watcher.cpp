#include "platform/fileprovider/domain/mount_table_watcher.h"

#include <QSocketNotifier>

#include <fcntl.h>

MountTableWatcher::MountTableWatcher(QObject *parent) : QObject(parent) {
    descriptor_.reset(::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC));
    if (!descriptor_.isOpen()) return;
    notifier_ = new QSocketNotifier(descriptor_.get(), QSocketNotifier::Exception, this);
    connect(notifier_, &QSocketNotifier::activated, this, &MountTableWatcher::changed);
}

MountTableWatcher::~MountTableWatcher() {
    // The notifier must let go of the descriptor before it is closed.
    delete notifier_;
}
