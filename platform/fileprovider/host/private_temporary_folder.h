#pragma once

#include "platform/posix/file_descriptor.h"

#include <QString>

namespace fileprovider {

// A folder of this process's own under the system's temporary folder,
// removed with everything in it when the value goes away. The host makes it
// the process's temporary folder, so that whatever the extension leaves
// there goes with the process. A process that died without removing its
// folder (killed, or crashed) leaves it to the next one made with the same
// prefix, which removes it.
class PrivateTemporaryFolder {
public:
    // Throws std::runtime_error when it cannot be made.
    explicit PrivateTemporaryFolder(const QString &namePrefix);
    ~PrivateTemporaryFolder();
    PrivateTemporaryFolder(const PrivateTemporaryFolder &) = delete;
    PrivateTemporaryFolder &operator=(const PrivateTemporaryFolder &) = delete;

    const QString &path() const { return path_; }
    // Points TMPDIR here, for this process and its children.
    void makeProcessTemporaryFolder() const;

private:
    QString path_;
    // Locked for as long as this process lives: the kernel lets go of the
    // lock however the process ends, which is how others tell it is gone.
    posix::FileDescriptor lock_;
};

} // namespace fileprovider
