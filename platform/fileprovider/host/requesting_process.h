#pragma once

#include <QByteArrayView>

#include <sys/types.h>

namespace fileprovider {

// The process (thread group) whose thread made the request being served;
// 0 when it cannot be told. The kernel names the thread, not its process.
pid_t requestingProcess();

// The thread group of a /proc/TID/status text; 0 when it has none.
pid_t threadGroupInStatus(QByteArrayView status);

} // namespace fileprovider
