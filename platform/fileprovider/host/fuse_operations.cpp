#include "platform/fileprovider/host/fuse_operations.h"

#include "platform/fileprovider/host/fuse_bridge.h"
#include "platform/fileprovider/host/item_attributes.h"

#include <cerrno>

namespace fileprovider {

namespace {

FuseBridge &bridge() { return *static_cast<FuseBridge *>(fuse_get_context()->private_data); }

// The kernel opens only names it believes are there, for as long as its
// lookup is fresh. One that left the phone meanwhile (deleted by an app on
// it) is stale, not missing: ESTALE makes the kernel look the name up again,
// so that open(O_CREAT) makes the file anew rather than failing.
int staleIfMissing(int result) { return result == -ENOENT ? -ESTALE : result; }

void *initialize(fuse_conn_info *connection, fuse_config *config) {
    // Short timeouts are the only cache: the phone may change at any time.
    config->entry_timeout = attributeSeconds;
    config->attr_timeout = attributeSeconds;
    config->negative_timeout = 0;
    config->nullpath_ok = 0;
    config->use_ino = 0;
    config->kernel_cache = 0;
    config->auto_cache = 0;
    config->direct_io = 0;
    // An open file that is deleted is deleted at once: its handles keep
    // their local copy, so there is no need to hide it under a new name
    // (which would upload the hidden name to the phone).
    config->hard_remove = 1;
    // Listings carry every entry's attributes, always.
    if (connection->capable & FUSE_CAP_READDIRPLUS) connection->want |= FUSE_CAP_READDIRPLUS;
    connection->want &= ~FUSE_CAP_READDIRPLUS_AUTO;
    // Writes come in pieces of up to 1 MiB rather than 128 KiB: fewer
    // round trips through the kernel for every file copied in.
    // One page short of 1 MiB: with libfuse's header, each request then
    // fits the largest pipe an unprivileged process may have, so written
    // bytes can come by splice.
    connection->max_write = (1 << 20) - 4096;
    connection->max_readahead = 1 << 20;
    // Replies are not spliced: most reads are answered from memory, which
    // libfuse would first copy into a pipe of fresh pages and the kernel
    // then copy again; written straight to the device they are copied once.
    // Written bytes arrive in a pipe and go on to the local copy by splice.
    if (connection->capable & FUSE_CAP_SPLICE_READ) connection->want |= FUSE_CAP_SPLICE_READ;
    if (connection->capable & FUSE_CAP_SPLICE_MOVE) connection->want |= FUSE_CAP_SPLICE_MOVE;
    // open() with O_TRUNC arrives as one request, so the bridge need not
    // fetch bytes it is about to throw away.
    if (connection->capable & FUSE_CAP_ATOMIC_O_TRUNC) connection->want |= FUSE_CAP_ATOMIC_O_TRUNC;
#ifdef FUSE_CAP_DIRECT_IO_ALLOW_MMAP
    if (connection->capable & FUSE_CAP_DIRECT_IO_ALLOW_MMAP) {
        connection->want |= FUSE_CAP_DIRECT_IO_ALLOW_MMAP;
        bridge().allowMappableDirectIo();
    }
#endif
    return fuse_get_context()->private_data;
}

int getattr(const char *path, struct stat *attributes, fuse_file_info *file) { return bridge().getattr(path, attributes, file); }

int opendir(const char *path, fuse_file_info *folder) { return bridge().opendir(path, folder); }

int readdir(const char *, void *buffer, fuse_fill_dir_t filler, off_t offset, fuse_file_info *folder, fuse_readdir_flags) {
    return bridge().readdir(buffer, filler, offset, folder);
}

int releasedir(const char *, fuse_file_info *folder) { return bridge().releasedir(folder); }

int open(const char *path, fuse_file_info *file) { return staleIfMissing(bridge().open(path, file)); }

int read(const char *, char *into, size_t size, off_t offset, fuse_file_info *file) {
    return bridge().read(into, size, offset, file);
}

int read_buf(const char *, fuse_bufvec **into, size_t size, off_t offset, fuse_file_info *file) {
    return bridge().readBuffer(into, size, offset, file);
}

int release(const char *, fuse_file_info *file) { return bridge().release(file); }

int statfs(const char *, struct statvfs *figures) { return bridge().statfs(figures); }

int mkdir(const char *path, mode_t) { return bridge().mkdir(path); }

int unlink(const char *path) { return bridge().unlink(path); }

int rmdir(const char *path) { return bridge().rmdir(path); }

int rename(const char *from, const char *to, unsigned int flags) { return bridge().rename(from, to, flags); }

// The mode is the phone's to choose: every upload gets rw-r--r--.
int create(const char *path, mode_t, fuse_file_info *file) { return bridge().create(path, file); }

int write(const char *, const char *from, size_t size, off_t offset, fuse_file_info *file) {
    return bridge().write(from, size, offset, file);
}

int write_buf(const char *, fuse_bufvec *from, off_t offset, fuse_file_info *file) { return bridge().writeBuffer(from, offset, file); }

int flush(const char *, fuse_file_info *file) { return bridge().flush(file); }

int fsync(const char *, int, fuse_file_info *file) { return bridge().fsync(file); }

int truncate(const char *path, off_t size, fuse_file_info *file) { return bridge().truncate(path, size, file); }

// The phone keeps no owners or permission bits of ours; accepting these
// lets cp -p, touch and editors go on rather than fail.
int chmod(const char *, mode_t, fuse_file_info *) { return 0; }
int chown(const char *, uid_t, gid_t, fuse_file_info *) { return 0; }

int utimens(const char *path, const struct timespec times[2], fuse_file_info *file) { return bridge().utimens(path, times, file); }

// The phone's shared storage holds no links or special files.
int symlink(const char *, const char *) { return -EPERM; }
int link(const char *, const char *) { return -EPERM; }
int mknod(const char *, mode_t, dev_t) { return -EPERM; }

// Operations left out are the ones the kernel handles itself when absent.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
const fuse_operations operations = {
    .getattr = getattr,
    .mknod = mknod,
    .mkdir = mkdir,
    .unlink = unlink,
    .rmdir = rmdir,
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
    .flush = flush,
    .release = release,
    .fsync = fsync,
    .opendir = opendir,
    .readdir = readdir,
    .releasedir = releasedir,
    .init = initialize,
    .create = create,
    .utimens = utimens,
    .write_buf = write_buf,
    .read_buf = read_buf,
};
#pragma GCC diagnostic pop

} // namespace

const fuse_operations &fuseOperations() { return operations; }

} // namespace fileprovider
