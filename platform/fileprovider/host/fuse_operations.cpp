#include "platform/fileprovider/host/fuse_operations.h"

#include "platform/fileprovider/host/fuse_bridge.h"

#include <cerrno>

namespace fileprovider {

namespace {

FuseBridge &bridge() { return *static_cast<FuseBridge *>(fuse_get_context()->private_data); }

void *initialize(fuse_conn_info *connection, fuse_config *config) {
    // Short timeouts are the only cache: the phone may change at any time.
    config->entry_timeout = 2.0;
    config->attr_timeout = 2.0;
    config->negative_timeout = 0;
    config->nullpath_ok = 0;
    config->use_ino = 0;
    config->kernel_cache = 0;
    config->auto_cache = 0;
    config->direct_io = 0;
    // Listings carry every entry's attributes, always.
    if (connection->capable & FUSE_CAP_READDIRPLUS) connection->want |= FUSE_CAP_READDIRPLUS;
    connection->want &= ~FUSE_CAP_READDIRPLUS_AUTO;
    return fuse_get_context()->private_data;
}

int getattr(const char *path, struct stat *attributes, fuse_file_info *file) { return bridge().getattr(path, attributes, file); }

int opendir(const char *path, fuse_file_info *folder) { return bridge().opendir(path, folder); }

int readdir(const char *, void *buffer, fuse_fill_dir_t filler, off_t offset, fuse_file_info *folder, fuse_readdir_flags) {
    return bridge().readdir(buffer, filler, offset, folder);
}

int releasedir(const char *, fuse_file_info *folder) { return bridge().releasedir(folder); }

int open(const char *path, fuse_file_info *file) { return bridge().open(path, file); }

int read(const char *, char *into, size_t size, off_t offset, fuse_file_info *file) {
    return bridge().read(into, size, offset, file);
}

int release(const char *, fuse_file_info *file) { return bridge().release(file); }

int statfs(const char *, struct statvfs *figures) { return bridge().statfs(figures); }

int mkdir(const char *path, mode_t) { return bridge().mkdir(path); }

int remove(const char *path) { return bridge().remove(path); }

int rename(const char *from, const char *to, unsigned int flags) { return bridge().rename(from, to, flags); }

// New contents need an upload when the handle is flushed; until handles for
// writing exist, contents cannot change.
int create(const char *, mode_t, fuse_file_info *) { return -EROFS; }
int write(const char *, const char *, size_t, off_t, fuse_file_info *) { return -EROFS; }
int truncate(const char *, off_t, fuse_file_info *) { return -EROFS; }
int chmod(const char *, mode_t, fuse_file_info *) { return -EROFS; }
int chown(const char *, uid_t, gid_t, fuse_file_info *) { return -EROFS; }
int utimens(const char *, const struct timespec[2], fuse_file_info *) { return -EROFS; }
int symlink(const char *, const char *) { return -EROFS; }
int link(const char *, const char *) { return -EROFS; }
int mknod(const char *, mode_t, dev_t) { return -EROFS; }

// Operations left out are the ones the kernel handles itself when absent.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
const fuse_operations operations = {
    .getattr = getattr,
    .mknod = mknod,
    .mkdir = mkdir,
    .unlink = remove,
    .rmdir = remove,
    .symlink = symlink,
    .rename = rename,
    .link = link,
    .chmod = chmod,
    .chown = chown,
    .truncate = truncate,
    .open = open,
    .read = read,
    .write = write,
    .statfs = statfs,
    .release = release,
    .opendir = opendir,
    .readdir = readdir,
    .releasedir = releasedir,
    .init = initialize,
    .create = create,
    .utimens = utimens,
};
#pragma GCC diagnostic pop

} // namespace

const fuse_operations &fuseOperations() { return operations; }

} // namespace fileprovider
