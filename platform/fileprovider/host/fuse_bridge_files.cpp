// The bridge's file handles: opening, local copies and writes.
#include "platform/fileprovider/host/fuse_bridge.h"

#include "platform/fileprovider/host/errno_mapping.h"
#include "platform/fileprovider/host/item_attributes.h"
#include "platform/fileprovider/host/mount_paths.h"
#include "platform/fileprovider/host/requesting_process.h"
#include "platform/fileprovider/host/template_item.h"

#include <QDateTime>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/mman.h>
#include <sys/sendfile.h>
#include <unistd.h>

namespace fileprovider {

namespace {

// A file streamed in order keeps at most this much of itself here; it is
// let go in steps, so that not every write costs a call.
constexpr qint64 streamedWindow = 48LL << 20;
constexpr qint64 dropStep = 8LL << 20;

Timestamp nowInSeconds() { return static_cast<Timestamp>(QDateTime::currentMSecsSinceEpoch()) / 1000.0; }

struct stat newFileAttributes(uid_t owner, gid_t group) {
    struct stat attributes{};
    attributes.st_mode = S_IFREG | 0644;
    attributes.st_nlink = 1;
    attributes.st_uid = owner;
    attributes.st_gid = group;
    attributes.st_blksize = preferredTransferSize;
    const struct timespec now = timespecFor(static_cast<Timestamp>(QDateTime::currentMSecsSinceEpoch()) / 1000.0);
    attributes.st_mtim = now;
    attributes.st_ctim = now;
    attributes.st_atim = now;
    return attributes;
}

} // namespace

FileHandle *FuseBridge::handleOf(const fuse_file_info *file) const { return file ? fileHandles_.find(file->fh) : nullptr; }

OpenCopy *FuseBridge::copyOf(const fuse_file_info *file) const {
    FileHandle *handle = handleOf(file);
    return handle ? handle->copy.get() : nullptr;
}

void FuseBridge::noteWriter(OpenCopy &copy) { copy.noteWriter(requestingProcess()); }

uint64_t FuseBridge::newHandle(CopyHold copy, bool writable) {
    return fileHandles_.add(std::make_unique<FileHandle>(FileHandle{std::move(copy), writable}));
}

Outcome<posix::FileDescriptor> FuseBridge::makeStagingFile(QString &localPath) const {
    QByteArray pattern = QFile::encodeName(stagingFolder_ + QStringLiteral("/XXXXXX"));
    posix::FileDescriptor fd(::mkostemp(pattern.data(), O_CLOEXEC));
    if (!fd.isOpen()) return ProviderError::posix(errno, QStringLiteral("No local copy can be made in %1: %2").arg(stagingFolder_, QString::fromLocal8Bit(std::strerror(errno))));
    localPath = QFile::decodeName(pattern);
    return fd;
}

int FuseBridge::startEmptyCopy(OpenCopy &copy, const QString &mountPath) const {
    posix::FileDescriptor memory(::memfd_create("vane-new-file", MFD_CLOEXEC));
    // A copy is staged once, so it has no file of its own yet.
    copy.size = 0;
    if (memory.isOpen()) {
        copy.fd = std::move(memory);
        copy.local = LocalBytes::inMemory;
        return 0;
    }
    QString localPath;
    auto made = makeStagingFile(localPath);
    if (auto *error = std::get_if<ProviderError>(&made)) return fail("staging", mountPath, *error);
    copy.fd = std::get<posix::FileDescriptor>(std::move(made));
    copy.localPath = localPath;
    copy.local = LocalBytes::onDisk;
    return 0;
}

int FuseBridge::holdUpTo(OpenCopy &copy, qint64 end) {
    if (copy.local != LocalBytes::inMemory || end <= streamFrom) return 0;
    const QString mountPath = openCopies_.mountPathOf(&copy);
    QString localPath;
    auto made = makeStagingFile(localPath);
    if (auto *error = std::get_if<ProviderError>(&made)) return fail("staging", mountPath, *error);
    posix::FileDescriptor disk = std::get<posix::FileDescriptor>(std::move(made));
    for (off_t at = 0; at < copy.size;) {
        const ssize_t moved = ::sendfile(disk.get(), copy.fd.get(), &at, size_t(copy.size - at));
        if (moved < 0 && errno == EINTR) continue;
        if (moved <= 0) {
            // A short copy means the disk is full.
            const int errorNumber = moved < 0 ? errno : ENOSPC;
            disk.reset();
            QFile::remove(localPath);
            return fail("staging", mountPath, ProviderError::posix(errorNumber));
        }
    }
    copy.fd = std::move(disk);
    copy.localPath = localPath;
    copy.local = LocalBytes::onDisk;
    return 0;
}

int FuseBridge::openDownload(const QString &mountPath, int flags, posix::FileDescriptor &fd, QString &localPath) {
    auto identifier = identifierFor(mountPath);
    if (auto *error = std::get_if<ProviderError>(&identifier)) return fail("download of", mountPath, *error);
    auto download = requests_.download(std::get<ItemIdentifier>(identifier));
    if (auto *error = std::get_if<ProviderError>(&download)) return fail("download of", mountPath, *error);
    localPath = std::get<Download>(download).localPath;
    fd.reset(::open(QFile::encodeName(localPath).constData(), flags | O_CLOEXEC));
    if (fd.isOpen()) return 0;
    const int errorNumber = errno;
    QFile::remove(localPath);
    localPath.clear();
    return fail("opening the download of", mountPath, ProviderError::posix(errorNumber));
}

int FuseBridge::stage(OpenCopy &copy, bool keepContents) {
    if (copy.local != LocalBytes::notFetched) return 0;
    const QString mountPath = openCopies_.mountPathOf(&copy);
    if (!keepContents || copy.phoneFile != PhoneFile::present) return startEmptyCopy(copy, mountPath);
    // The old bytes are needed: the download itself becomes the copy.
    QString localPath;
    posix::FileDescriptor fd;
    if (const int opened = openDownload(mountPath, O_RDWR, fd, localPath); opened < 0) return opened;
    struct stat downloaded{};
    if (::fstat(fd.get(), &downloaded) != 0) {
        const int errorNumber = errno;
        QFile::remove(localPath);
        return fail("opening the download of", mountPath, ProviderError::posix(errorNumber));
    }
    copy.fd = std::move(fd);
    copy.localPath = localPath;
    copy.size = downloaded.st_size;
    copy.writtenInOrder = downloaded.st_size == 0;
    copy.local = LocalBytes::onDisk;
    return 0;
}

int FuseBridge::create(const char *path, fuse_file_info *file) {
    const QString mountPath = mountPathOf(path);
    if (CopyHold shared = openCopies_.joinShared(mountPath)) {
        if (file->flags & O_TRUNC) {
            if (const int cut = truncateCopy(*shared, 0); cut < 0) return cut;
        }
        noteWriter(*shared);
        file->fh = newHandle(std::move(shared), true);
        return 0;
    }
    recentNames_.added(parentMountPath(mountPath), lastComponent(mountPath));
    auto copy = std::make_unique<OpenCopy>();
    copy->shared = true;
    copy->phoneFile = PhoneFile::missing;
    // Even with no bytes written, closing it makes the (empty) file.
    copy->dirty = true;
    copy->attributes = newFileAttributes(owner_, group_);
    copy->noteWriter(requestingProcess());
    if (const int started = startEmptyCopy(*copy, mountPath); started < 0) return started;
    file->fh = newHandle(openCopies_.adopt(std::move(copy), mountPath), true);
    file->keep_cache = 0;
    writePastPageCache(file);
    return 0;
}

int FuseBridge::open(const char *path, fuse_file_info *file) {
    const QString mountPath = mountPathOf(path);
    const bool truncating = (file->flags & O_TRUNC) != 0;
    file->keep_cache = 0;
    if ((file->flags & O_ACCMODE) == O_RDONLY && !truncating) {
        // Closing a handle for reading has nothing to upload: the kernel
        // need not ask, and every file copied out saves a round trip.
        file->noflush = 1;
        return openForReading(mountPath, file);
    }
    const int opened = openForWriting(mountPath, truncating, file);
    if (opened == 0) writePastPageCache(file);
    return opened;
}

void FuseBridge::writePastPageCache(fuse_file_info *file) const {
    // Every write is sent on at once anyway (there is no write-back cache);
    // past the page cache the writer's bytes are not first copied into the
    // mount's own pages, and a copy in costs the writer a third of the CPU.
    // Only where such files can still be mapped shared.
    if (directIoMappable_) file->direct_io = 1;
}

int FuseBridge::openForWriting(const QString &mountPath, bool truncating, fuse_file_info *file) {
    if (CopyHold shared = openCopies_.joinShared(mountPath)) {
        if (truncating) {
            if (const int cut = truncateCopy(*shared, 0); cut < 0) return cut;
        }
        noteWriter(*shared);
        file->fh = newHandle(std::move(shared), true);
        return 0;
    }
    auto item = itemAt(mountPath);
    if (auto *error = std::get_if<ProviderError>(&item)) return fail("opening of", mountPath, *error);
    const ItemPointer &found = std::get<ItemPointer>(item);
    if (found->isFolder()) return -EISDIR;
    auto copy = std::make_unique<OpenCopy>();
    copy->shared = true;
    copy->attributes = attributesFor(*found, owner_, group_);
    copy->attributes.st_mode = S_IFREG | (copy->attributes.st_mode & 07777);
    copy->size = copy->attributes.st_size;
    CopyHold held = openCopies_.adoptOrJoinShared(std::move(copy), mountPath);
    // The old bytes are fetched only once something needs them.
    if (truncating) {
        if (const int cut = truncateCopy(*held, 0); cut < 0) return cut;
    }
    noteWriter(*held);
    file->fh = newHandle(std::move(held), true);
    return 0;
}

int FuseBridge::write(const char *from, size_t size, off_t offset, fuse_file_info *file) {
    return writeWith(size, offset, file, [from](int fd, size_t done, size_t left, off_t at) { return ::pwrite(fd, from + done, left, at); });
}

int FuseBridge::writeBuffer(fuse_bufvec *from, off_t offset, fuse_file_info *file) {
    const size_t size = fuse_buf_size(from);
    const fuse_buf &piece = from->buf[from->idx];
    if (from->count - from->idx == 1 && (piece.flags & FUSE_BUF_IS_FD) && !(piece.flags & FUSE_BUF_FD_SEEK)) {
        // The bytes wait in the pipe the kernel spliced them into: they go
        // on to the local copy without a pass through this process.
        const int written = writeWith(size, offset, file, [pipe = piece.fd](int fd, size_t, size_t left, off_t at) {
            loff_t to = at;
            const ssize_t moved = ::splice(pipe, nullptr, fd, &to, left, SPLICE_F_MOVE);
            if (moved == 0) errno = EIO;   // the pipe ran dry early
            return moved == 0 ? ssize_t(-1) : moved;
        });
        // Bytes left in the pipe are libfuse's to clear, which it does
        // only while they are not marked as taken.
        if (written >= 0 && size_t(written) == size) from->idx = from->count;
        return written;
    }
    if (from->count - from->idx == 1 && !(piece.flags & FUSE_BUF_IS_FD)) {
        return write(static_cast<const char *>(piece.mem) + from->off, size, offset, file);
    }
    QByteArray gathered(qsizetype(size), Qt::Uninitialized);
    fuse_bufvec into = FUSE_BUFVEC_INIT(size);
    into.buf[0].mem = gathered.data();
    const ssize_t copied = fuse_buf_copy(&into, from, fuse_buf_copy_flags{});
    if (copied < 0) return int(copied);
    return write(gathered.constData(), size_t(copied), offset, file);
}

int FuseBridge::writeWith(size_t size, off_t offset, fuse_file_info *file, const LandBytes &land) {
    FileHandle *handle = handleOf(file);
    if (!handle || !handle->writable) return -EBADF;
    OpenCopy &copy = *handle->copy;
    std::lock_guard lock(copy.mutex);
    copy.noteWriter(requestingProcess());
    const int written = writeToCopy(copy, size, offset, land);
    if (written < 0 && !copy.failedWrite) copy.failedWrite = -written;
    return written;
}

int FuseBridge::writeToCopy(OpenCopy &copy, size_t size, off_t offset, const LandBytes &land) {
    if (const int staged = stage(copy, true); staged < 0) return staged;
    // Out of order: the stream ends, and what was let go comes back before
    // these bytes land on it.
    if (copy.stream && offset != copy.stream->sent()) abandonStream(copy);
    if (!copy.stream) {
        if (const int restored = restoreDropped(copy); restored < 0) return restored;
    }
    if (const int held = holdUpTo(copy, offset + qint64(size)); held < 0) return held;
    const qint64 sizeBefore = copy.size;
    size_t done = 0;
    while (done < size) {
        const ssize_t count = land(copy.fd.get(), done, size - done, offset + static_cast<off_t>(done));
        if (count < 0 && errno == EINTR) continue;
        // A staging folder too small for the whole window still takes a
        // file streamed in order: what the phone has is let go at once, all
        // but what the upload's pipe may still be reading.
        if (count < 0 && errno == ENOSPC && dropStreamedBytes(copy, 2 * StreamedUpload::pipeCapacity, 1)) continue;
        if (count < 0 && done == 0) return -errno;
        // What landed counts, as a short write; the rest fails when retried.
        if (count < 0) break;
        done += static_cast<size_t>(count);
    }
    copy.dirty = true;
    // New bytes make a new modification time, as anywhere.
    copy.modifiedTime->store(std::numeric_limits<double>::quiet_NaN());
    copy.size = std::max<qint64>(sizeBefore, offset + static_cast<qint64>(done));
    streamWrite(copy, done, offset, sizeBefore);
    // In steps, so that not every write costs a call.
    dropStreamedBytes(copy, streamedWindow, dropStep);
    return static_cast<int>(done);
}

int FuseBridge::truncateCopy(OpenCopy &copy, off_t size) {
    std::lock_guard lock(copy.mutex);
    // Cutting to nothing needs none of the old bytes.
    if (const int staged = stage(copy, size > 0); staged < 0) return staged;
    if (copy.stream && size != copy.stream->sent()) abandonStream(copy);
    if (size > 0 && !copy.stream) {
        if (const int restored = restoreDropped(copy); restored < 0) return restored;
    }
    // Even a hole counts: a copy in memory must stay small.
    if (const int held = holdUpTo(copy, size); held < 0) return held;
    copy.droppedBelow = std::min<qint64>(copy.droppedBelow, size);
    if (copy.droppedBelow == 0) copy.keptStart.reset();
    if (::ftruncate(copy.fd.get(), size) != 0) return -errno;
    // Cut to nothing before any stream, the file may still be written in order.
    copy.writtenInOrder = size == 0 && !copy.streamTried;
    copy.size = size;
    copy.dirty = true;
    return 0;
}

int FuseBridge::truncate(const char *path, off_t size, fuse_file_info *file) {
    if (size < 0) return -EINVAL;
    if (OpenCopy *copy = copyOf(file)) {
        if (!copy->shared) return -EBADF;
        noteWriter(*copy);
        return truncateCopy(*copy, size);
    }
    const QString mountPath = mountPathOf(path);
    if (const CopyHold shared = openCopies_.joinShared(mountPath)) return truncateCopy(*shared, size);
    // By path alone: the cut file goes to the phone at once.
    auto item = itemAt(mountPath);
    if (auto *error = std::get_if<ProviderError>(&item)) return fail("truncating", mountPath, *error);
    const ItemPointer &found = std::get<ItemPointer>(item);
    if (found->isFolder()) return -EISDIR;
    auto copy = std::make_unique<OpenCopy>();
    copy->shared = true;
    copy->attributes = attributesFor(*found, owner_, group_);
    copy->size = copy->attributes.st_size;
    const CopyHold held = openCopies_.adoptOrJoinShared(std::move(copy), mountPath);
    const int result = truncateCopy(*held, size);
    return result == 0 ? uploadHeldCopy(*held) : result;
}

int FuseBridge::utimens(const char *path, const struct timespec times[2], fuse_file_info *file) {
    const struct timespec modified = times ? times[1] : timespec{0, UTIME_NOW};
    if (modified.tv_nsec == UTIME_OMIT) return 0;
    // The phone keeps whole seconds.
    const Timestamp seconds = modified.tv_nsec == UTIME_NOW ? std::floor(nowInSeconds()) : static_cast<Timestamp>(modified.tv_sec);
    const QString mountPath = mountPathOf(path);
    OpenCopy *copy = copyOf(file);
    CopyHold joined;
    if (!copy || !copy->shared) copy = (joined = openCopies_.joinShared(mountPath)).get();
    bool ridesUpload = false;
    if (copy) {
        std::lock_guard lock(copy->mutex);
        copy->attributes.st_mtim = timespecFor(seconds);
        // cp -p and file managers set the time after the last write but
        // before close: the upload that close makes carries it.
        ridesUpload = (copy->dirty || copy->stream) && !copy->detached;
        if (ridesUpload) copy->modifiedTime->store(seconds);
    }
    joined.release();
    if (ridesUpload) return 0;

    auto item = itemAt(mountPath);
    if (auto *error = std::get_if<ProviderError>(&item)) return fail("setting the time of", mountPath, *error);
    const ItemPointer &found = std::get<ItemPointer>(item);
    auto changed = std::make_shared<TemplateItem>(found->itemIdentifier(), found->parentItemIdentifier(), found->filename(),
                                                  found->contentType());
    changed->setModificationDate([seconds] { return std::optional<Timestamp>(seconds); });
    auto result = requests_.modify(std::move(changed), found->itemVersion(), ItemField::contentModificationDate, std::nullopt);
    if (auto *error = std::get_if<ProviderError>(&result)) return fail("setting the time of", mountPath, *error);
    return 0;
}

void FuseBridge::forgetKernelEntry(const QString &mountPath) {
    if (fuse_context *context = fuse_get_context(); context && context->fuse) {
        fuse_invalidate_path(context->fuse, posix::fileNameBytes(mountPath).constData());
    }
}

int FuseBridge::release(fuse_file_info *file) {
    if (std::unique_ptr<FileHandle> handle = fileHandles_.take(file->fh)) {
        const bool neverUploaded = handle->copy->phoneFile == PhoneFile::missing && !handle->copy->detached;
        const QString mountPath = openCopies_.mountPathOf(handle->copy.get());
        // A file whose upload failed is gone; the kernel must not keep its entry.
        if (handle->copy.release() && neverUploaded) forgetKernelEntry(mountPath);
    }
    file->fh = 0;
    return 0;
}

} // namespace fileprovider
