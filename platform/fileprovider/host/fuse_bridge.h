#pragma once

#include "platform/fileprovider/host/extension_requests.h"
#include "platform/posix/file_descriptor.h"
#include "platform/fileprovider/host/handle_table.h"
#include "platform/fileprovider/host/open_copies.h"
#include "platform/fileprovider/host/recent_folder_names.h"
#include "platform/fileprovider/host/recent_items.h"
#include "platform/fileprovider/host/replicated_extension.h"
#include "platform/fileprovider/host/storage_space_cache.h"

#include "platform/fileprovider/host/fuse_version.h"
#include <fuse.h>

#include <QString>

#include <atomic>
#include <functional>

namespace fileprovider {

struct FolderListing;

// Turns the kernel's requests on a mount into the extension's requests and
// their completions into replies. Every method answers 0 (or a count) or a
// negated errno, as libfuse expects, and may run on many threads at once.
//
// Writes land in a local copy of the file and reach the extension as one
// upload when a handle is flushed, so that close() reports a failed upload.
// Where the extension's storage lacks a POSIX rule (a folder must be empty
// to be removed, a rename never moves into an existing folder), the bridge
// keeps it.
class FuseBridge {
public:
    explicit FuseBridge(ReplicatedExtension &extension);
    ~FuseBridge();
    FuseBridge(const FuseBridge &) = delete;
    FuseBridge &operator=(const FuseBridge &) = delete;

    // From now on, waits for the extension end at once with an error, and
    // the extension's requests in flight are interrupted.
    void abandonRequests() {
        abandoned_ = true;
        requests_.interruptAll();
    }
    // The kernel maps files opened for direct I/O shared: large files can
    // be read, and files written, past the page cache.
    void allowMappableDirectIo() { directIoMappable_ = true; }

    int getattr(const char *path, struct stat *attributes, fuse_file_info *file);
    // The folder is listed once, when it is opened; reads of the open folder
    // page through that listing, attributes included.
    int opendir(const char *path, fuse_file_info *folder);
    int readdir(void *buffer, fuse_fill_dir_t filler, off_t offset, fuse_file_info *folder);
    int releasedir(fuse_file_info *folder);
    int statfs(struct statvfs *figures);

    int create(const char *path, fuse_file_info *file);
    int open(const char *path, fuse_file_info *file);
    int read(char *into, size_t size, off_t offset, fuse_file_info *file);
    // The same bytes, handed over as a piece of the local copy, which the
    // kernel can take without a pass through this process's memory.
    int readBuffer(fuse_bufvec **into, size_t size, off_t offset, fuse_file_info *file);
    int write(const char *from, size_t size, off_t offset, fuse_file_info *file);
    // The same bytes, as the kernel handed them over: often a pipe.
    int writeBuffer(fuse_bufvec *from, off_t offset, fuse_file_info *file);
    // Both upload a copy that holds new bytes.
    int flush(fuse_file_info *file);
    int fsync(fuse_file_info *file);
    int truncate(const char *path, off_t size, fuse_file_info *file);
    // The modification time, to the second: carried by a pending upload of
    // the file, else set on the phone at once.
    int utimens(const char *path, const struct timespec times[2], fuse_file_info *file);
    int release(fuse_file_info *file);

    int mkdir(const char *path);
    int unlink(const char *path);
    int rmdir(const char *path);
    int rename(const char *from, const char *to, unsigned int flags);

    int openCopyCount() const { return openCopies_.count(); }

private:
    // A file starts streaming once this much of it was written in order. A
    // new or emptied copy is held in memory up to that size: a small file
    // copied in then costs no file created and removed on disk here. Beyond
    // it the copy moves to the staging folder, before any stream starts.
    static constexpr qint64 streamFrom = 1LL << 20;

    // The mount path "/" is the root container; "/a/b" is child b of child a.
    Outcome<ItemIdentifier> identifierFor(const QString &mountPath) const;
    Outcome<ItemPointer> itemAt(const QString &mountPath) const;
    // A lookup that a fresh listing of the folder answers: nothing there.
    bool knownAbsent(const QString &mountPath);
    // Logs the failure and gives the negated errno to answer with.
    static int fail(const char *operation, const QString &mountPath, const ProviderError &error);

    int openForReading(const QString &mountPath, fuse_file_info *file);
    int readStreamed(OpenCopy &copy, char *into, size_t size, off_t offset);
    void writePastPageCache(fuse_file_info *file) const;
    int openForWriting(const QString &mountPath, bool truncating, fuse_file_info *file);
    // Puts `left` bytes at `at` of the local copy `fd`, `done` bytes into the
    // write; answers a count or -1 with errno, as pwrite does.
    using LandBytes = std::function<ssize_t(int fd, size_t done, size_t left, off_t at)>;
    int writeWith(size_t size, off_t offset, fuse_file_info *file, const LandBytes &land);
    int writeToCopy(OpenCopy &copy, size_t size, off_t offset, const LandBytes &land);
    // With the copy's mutex held: makes sure the local file exists, holding
    // the phone's bytes when `keepContents`, else empty.
    int stage(OpenCopy &copy, bool keepContents);
    // Downloads the file at the path and opens the local copy with `flags`;
    // on failure nothing of the download is left.
    int openDownload(const QString &mountPath, int flags, posix::FileDescriptor &fd, QString &localPath);
    // With the copy's mutex held: sends new bytes to the extension.
    int upload(OpenCopy &copy);
    int uploadHeldCopy(OpenCopy &copy);
    // The upload a flush or fsync of the handle asks for; a flush only from
    // a process that opened or wrote the copy.
    int uploadThrough(fuse_file_info *file, bool whoeverAsks);
    // Uploads what a writer holds for the path, before the path changes.
    int settle(const QString &mountPath);
    int truncateCopy(OpenCopy &copy, off_t size);
    // With the copy's mutex held: keeps the streamed upload going with the
    // bytes just written to the local copy, starting it once enough came in order.
    void streamWrite(OpenCopy &copy, size_t count, off_t offset, qint64 sizeBefore);
    // With the copy's mutex held: withdraws a streamed upload that can no
    // longer carry the whole file; the local copy is uploaded instead. The
    // phone's file stays as it was until then; what the stream sent is kept
    // aside on the phone only while the local copy lacks its start.
    void abandonStream(OpenCopy &copy);
    // Makes the kernel ask again about `mountPath`; from a request's thread.
    void forgetKernelEntry(const QString &mountPath);
    // With the copy's mutex held: an upload the phone answered for with a
    // size other than the copy's failed, whatever it said.
    int failUnlessWhole(OpenCopy &copy, const ItemPointer &uploaded);
    // With the copy's mutex held: while a file streams in order, the local
    // copy keeps only its last `keep` bytes, letting go of at least
    // `leastStep` at a time; true when it let go of any.
    bool dropStreamedBytes(OpenCopy &copy, qint64 keep, qint64 leastStep);
    // With the copy's mutex held: ends the stream and fetches back from the
    // phone the bytes that were let go, for a writer that stopped going in order.
    int restoreDropped(OpenCopy &copy);
    enum class UploadFrom { localCopy, stream };
    // The request that sends `contents` as the copy's.
    Outcome<PendingChange> beginUpload(OpenCopy &copy, const ContentsFile &contents, UploadFrom from);
    // A name for a fresh, empty local file.
    Outcome<posix::FileDescriptor> makeStagingFile(QString &localPath) const;
    // With the copy's mutex held, or before it is shared: an empty local
    // copy, in memory where the system allows.
    int startEmptyCopy(OpenCopy &copy, const QString &mountPath) const;
    // With the copy's mutex held: a copy in memory that is to reach `end`,
    // past what memory may hold, moves to the staging folder first.
    int holdUpTo(OpenCopy &copy, qint64 end);
    FileHandle *handleOf(const fuse_file_info *file) const;
    OpenCopy *copyOf(const fuse_file_info *file) const;
    uint64_t newHandle(CopyHold copy, bool writable);
    // The requesting process may end the copy's upload by closing it.
    void noteWriter(OpenCopy &copy);
    // The POSIX checks of a rename onto an existing item; clears the way
    // by removing an empty target folder.
    int clearRenameTarget(const QString &fromPath, const ItemPointer &source, const QString &toPath, unsigned int flags);

    ExtensionRequests requests_;
    OpenCopies openCopies_;
    // After the copies, so handles let go of their holds before the copies go.
    HandleTable<FileHandle> fileHandles_;
    HandleTable<FolderListing> folderListings_;
    StorageSpaceCache storageSpace_;
    RecentFolderNames recentNames_;
    RecentItems recentItems_;
    std::atomic<bool> abandoned_{false};
    std::atomic<bool> directIoMappable_{false};
    const uid_t owner_;
    const gid_t group_;
    const QString stagingFolder_;
};

} // namespace fileprovider
