#pragma once

#include "platform/fileprovider/host/extension_requests.h"
#include "platform/fileprovider/host/open_copies.h"
#include "platform/fileprovider/host/replicated_extension.h"
#include "platform/fileprovider/host/storage_space_cache.h"

#include "platform/fileprovider/host/fuse_version.h"
#include <fuse.h>

#include <QString>

#include <atomic>

namespace fileprovider {

// Turns the kernel's requests on a mount into the extension's requests and
// their completions into replies. Every method answers 0 or a negated
// errno, as libfuse expects, and may run on many threads at once.
class FuseBridge {
public:
    explicit FuseBridge(ReplicatedExtension &extension);
    FuseBridge(const FuseBridge &) = delete;
    FuseBridge &operator=(const FuseBridge &) = delete;

    // From now on, waits for the extension end at once with an error.
    void abandonRequests() { abandoned_ = true; }

    int getattr(const char *path, struct stat *attributes, fuse_file_info *file);
    // The folder is listed once, when it is opened; reads of the open folder
    // page through that listing, attributes included.
    int opendir(const char *path, fuse_file_info *folder);
    int readdir(void *buffer, fuse_fill_dir_t filler, off_t offset, fuse_file_info *folder);
    int releasedir(fuse_file_info *folder);
    int open(const char *path, fuse_file_info *file);
    int read(char *into, size_t size, off_t offset, fuse_file_info *file);
    int release(fuse_file_info *file);
    int statfs(struct statvfs *figures);
    int mkdir(const char *path);
    int remove(const char *path);
    int rename(const char *from, const char *to, unsigned int flags);

    int openCopyCount() const { return openCopies_.count(); }

private:
    // The mount path "/" is the root container; "/a/b" is child b of child a.
    Outcome<ItemIdentifier> identifierFor(const QString &mountPath) const;
    Outcome<ItemPointer> itemAt(const QString &mountPath) const;
    // Logs the failure and gives the negated errno to answer with.
    static int fail(const char *operation, const QString &mountPath, const ProviderError &error);

    ExtensionRequests requests_;
    OpenCopies openCopies_;
    StorageSpaceCache storageSpace_;
    std::atomic<bool> abandoned_{false};
    const uid_t owner_;
    const gid_t group_;
};

} // namespace fileprovider
