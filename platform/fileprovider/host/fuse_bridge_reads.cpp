// The bridge's reads: a file opened for reading streams from the phone;
// one open for writing is read from its local copy.
#include "platform/fileprovider/host/fuse_bridge.h"

#include "platform/fileprovider/host/errno_mapping.h"
#include "platform/fileprovider/host/item_attributes.h"

#include <cerrno>
#include <cstdio>
#include <unistd.h>

namespace fileprovider {

namespace {

// Files from this size are read past the page cache where that is safe:
// videos and archives, which are copied or played in large reads, not
// photos, which viewers decode in small ones.
constexpr qint64 directReadsFrom = 16LL << 20;

} // namespace

int FuseBridge::openForReading(const QString &mountPath, fuse_file_info *file) {
    // A file being written is read as the writer holds it.
    if (CopyHold shared = openCopies_.joinShared(mountPath)) {
        file->fh = newHandle(std::move(shared), false);
        return 0;
    }
    auto identifier = identifierFor(mountPath);
    if (auto *error = std::get_if<ProviderError>(&identifier)) return fail("opening of", mountPath, *error);
    const ItemPointer known = recentItems_.fresh(mountPath);
    auto opened = requests_.openContents(std::get<ItemIdentifier>(identifier), known);
    if (auto *error = std::get_if<ProviderError>(&opened)) return fail("opening of", mountPath, *error);
    const OpenedContents &contents = std::get<OpenedContents>(opened);
    if (contents.item->isFolder()) return -EISDIR;
    // The real size, never the phone's 32-bit field.
    const qint64 size = contents.stream->knownSize().value_or(contents.item->documentSize().value_or(0));
    auto copy = std::make_unique<OpenCopy>();
    copy->attributes = attributesFor(*contents.item, owner_, group_, size);
    copy->attributes.st_mode = S_IFREG | (copy->attributes.st_mode & 07777);
    copy->size = size;
    copy->local = LocalBytes::fromPhone;
    copy->streamed = std::make_unique<StreamedRead>(contents.stream, size);
    file->fh = newHandle(openCopies_.adopt(std::move(copy), mountPath), false);
    // A large file is read past the page cache: a copy out then costs one
    // request per read() of up to 1 MiB instead of filling the cache page by
    // page. Only where the kernel still maps such files shared (QFile::map,
    // Python's mmap); small files, which readers take in small pieces and
    // read again, stay cached.
    if (directIoMappable_ && size >= directReadsFrom) file->direct_io = 1;
    // What the kernel last heard about the size may be out of date; make it
    // ask again, so reads go on to the end of the copy. It heard what this
    // side last told it, when that was moments ago.
    const bool kernelKnowsSize = known && known->documentSize() == size;
    if (!kernelKnowsSize) forgetKernelEntry(mountPath);
    return 0;
}

int FuseBridge::readStreamed(OpenCopy &copy, char *into, size_t size, off_t offset) {
    auto read = copy.streamed->read(into, qsizetype(size), offset);
    if (auto *error = std::get_if<ProviderError>(&read)) {
        const QString mountPath = openCopies_.mountPathOf(&copy);
        std::fprintf(stderr, "VaneFileProvider: read of %s failed: %s\n", qPrintable(mountPath), qPrintable(error->description));
        return -errnoFor(*error, Answering::read);
    }
    return int(std::get<qsizetype>(read));
}

int FuseBridge::read(char *into, size_t size, off_t offset, fuse_file_info *file) {
    OpenCopy *copy = copyOf(file);
    if (!copy) return -EBADF;
    if (copy->local == LocalBytes::fromPhone) return readStreamed(*copy, into, size, offset);
    if (copy->local == LocalBytes::notFetched || copy->droppedBelow > 0) {
        std::lock_guard lock(copy->mutex);
        if (const int staged = stage(*copy, true); staged < 0) return staged;
        if (const int restored = restoreDropped(*copy); restored < 0) return restored;
    }
    // A copy in memory may move to disk meanwhile, closing the descriptor.
    std::unique_lock moving(copy->mutex, std::defer_lock);
    if (copy->local == LocalBytes::inMemory) moving.lock();
    size_t done = 0;
    while (done < size) {
        const ssize_t count = ::pread(copy->fd.get(), into + done, size - done, offset + static_cast<off_t>(done));
        if (count < 0) {
            if (errno == EINTR) continue;
            return -errno;
        }
        if (count == 0) break;
        done += static_cast<size_t>(count);
    }
    return static_cast<int>(done);
}

int FuseBridge::readBuffer(fuse_bufvec **into, size_t size, off_t offset, fuse_file_info *file) {
    OpenCopy *copy = copyOf(file);
    if (!copy) return -EBADF;
    // Read here: a streamed file has no local copy, and one in memory may
    // have moved to disk before libfuse reads its descriptor.
    if (const LocalBytes local = copy->local; local == LocalBytes::fromPhone || local == LocalBytes::inMemory) {
        // libfuse frees both with free() once the reply is out.
        std::unique_ptr<fuse_bufvec, decltype(&std::free)> piece(static_cast<fuse_bufvec *>(std::malloc(sizeof(fuse_bufvec))), &std::free);
        std::unique_ptr<char, decltype(&std::free)> bytes(static_cast<char *>(std::malloc(std::max<size_t>(size, 1))), &std::free);
        if (!piece || !bytes) return -ENOMEM;
        const int count = read(bytes.get(), size, offset, file);
        if (count < 0) return count;
        *piece = FUSE_BUFVEC_INIT(size_t(count));
        piece->buf[0].mem = bytes.release();
        *into = piece.release();
        return 0;
    }
    if (copy->local == LocalBytes::notFetched || copy->droppedBelow > 0) {
        std::lock_guard lock(copy->mutex);
        if (const int staged = stage(*copy, true); staged < 0) return staged;
        if (const int restored = restoreDropped(*copy); restored < 0) return restored;
    }
    // libfuse frees it with free().
    auto *piece = static_cast<fuse_bufvec *>(std::malloc(sizeof(fuse_bufvec)));
    if (!piece) return -ENOMEM;
    *piece = FUSE_BUFVEC_INIT(size);
    piece->buf[0].flags = static_cast<fuse_buf_flags>(FUSE_BUF_IS_FD | FUSE_BUF_FD_SEEK | FUSE_BUF_FD_RETRY);
    piece->buf[0].fd = copy->fd.get();
    piece->buf[0].pos = offset;
    *into = piece;
    return 0;
}

} // namespace fileprovider
