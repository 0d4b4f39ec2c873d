#pragma once

#include "platform/fileprovider/host/contents_file.h"
#include "platform/posix/file_descriptor.h"
#include "platform/fileprovider/host/streamed_read.h"
#include "platform/fileprovider/host/streamed_upload.h"

#include <QList>
#include <QString>

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <limits>
#include <map>
#include <memory>
#include <chrono>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace fileprovider {

// What the phone holds at the copy's path.
enum class PhoneFile {
    missing,         // made through the mount, not uploaded yet
    madeEmptyHere,   // an empty file this copy uploaded: nothing there to keep
    present,         // contents a failed upload must never lose
};

// Where a copy's bytes are. Only ever moves down this list, under the
// copy's mutex; a reader's copy is fromPhone for its whole life.
enum class LocalBytes {
    notFetched,   // a writer's: the old bytes come once a read or write needs them
    inMemory,     // a memory file, while a new file is small
    onDisk,       // a file in the staging folder
    fromPhone,    // a reader's: read as they arrive, nothing kept here
};

// The local copy behind open handles of one file of the mount. Reads come
// from it and writes land in it; it reaches the phone as one upload when a
// handle is flushed, and is removed when the last handle is released.
//
// A copy for reading only belongs to its one handle. A copy that is written
// to, or whose file does not exist on the phone yet, is shared by every
// handle of its path, so they all see the same bytes.
struct OpenCopy {
    // Held while the copy is staged, written, truncated or uploaded.
    std::mutex mutex;
    posix::FileDescriptor fd;
    // The local file in the staging folder, removed with the copy; empty
    // for a copy in memory.
    QString localPath;
    // Set once `fd` and `size` are: read without the mutex, a copy on disk
    // keeps its descriptor until it ends.
    std::atomic<LocalBytes> local{LocalBytes::notFetched};
    struct stat attributes{};   // the item's; the size is `size`
    std::atomic<qint64> size{0};
    bool shared = false;
    // Holds bytes the phone does not have yet.
    bool dirty = false;
    std::atomic<PhoneFile> phoneFile{PhoneFile::present};
    // Deleted or replaced through the mount: never uploaded again.
    std::atomic<bool> detached{false};
    // The upload that follows the writes, while they come in order.
    std::unique_ptr<StreamedUpload> stream;
    bool streamTried = false;
    // The stream's request replaces a file already on the phone.
    bool streamReplaces = false;
    // Where the start of a withdrawn replacement waits to be fetched back.
    std::unique_ptr<KeptUpload> keptStart;
    // Every byte of the local copy was written in order from an empty file.
    bool writtenInOrder = true;
    // A file opened for reading only: its bytes as they arrive, no local file.
    std::unique_ptr<StreamedRead> streamed;
    std::chrono::steady_clock::time_point openedAt = std::chrono::steady_clock::now();
    // Bytes below this offset went to the phone by the stream and were let
    // go here; the local file has a hole there.
    std::atomic<qint64> droppedBelow{0};
    // The stream that carried them failed: they are nowhere any more.
    bool streamedLost = false;
    // A write failed (the first failure's errno): the writer was told, and
    // the copy may lack what it meant.
    std::optional<int> failedWrite;
    // A modification time set through the mount since the last write: the
    // next upload carries it (not a number: none).
    std::shared_ptr<std::atomic<double>> modifiedTime =
        std::make_shared<std::atomic<double>>(std::numeric_limits<double>::quiet_NaN());
    // The processes that opened the copy for writing or wrote to it: only
    // their closes upload it. A child forked while the file was being
    // written closes its inherited descriptor at its exec or exit, long
    // before the writer is done; an upload then would put a start of the
    // new contents over the phone's file. Kept under a lock of their own:
    // such a close is answered while the writer holds the copy, perhaps
    // waiting on a slow phone.
    void noteWriter(pid_t process) {
        std::lock_guard lock(writersMutex_);
        if (std::find(writers_.begin(), writers_.end(), process) == writers_.end()) writers_.push_back(process);
    }
    // 0 (not known) counts as a writer.
    bool isWriter(pid_t process) const {
        std::lock_guard lock(writersMutex_);
        return process == 0 || std::find(writers_.begin(), writers_.end(), process) != writers_.end() ||
               std::find(writers_.begin(), writers_.end(), pid_t(0)) != writers_.end();
    }

    // The copy's contents for the extension to read, through a descriptor
    // of their own; `name` says what they are in messages.
    ContentsFile contents(const QString &name) const {
        return ContentsFile(posix::FileDescriptor(::fcntl(fd.get(), F_DUPFD_CLOEXEC, 0)), name);
    }

    struct stat currentAttributes() const {
        struct stat now = attributes;
        now.st_size = size;
        now.st_blocks = (now.st_size + 511) / 512;
        return now;
    }

private:
    mutable std::mutex writersMutex_;
    std::vector<pid_t> writers_;
};

class OpenCopies;

// One hold on an open copy. The copy lasts while any hold on it does; the
// last to go closes its descriptor and removes its file.
class CopyHold {
public:
    CopyHold() = default;
    CopyHold(CopyHold &&other) noexcept
        : copies_(std::exchange(other.copies_, nullptr)), copy_(std::exchange(other.copy_, nullptr)) {}
    CopyHold &operator=(CopyHold &&other) noexcept {
        if (this != &other) {
            release();
            copies_ = std::exchange(other.copies_, nullptr);
            copy_ = std::exchange(other.copy_, nullptr);
        }
        return *this;
    }
    CopyHold(const CopyHold &) = delete;
    CopyHold &operator=(const CopyHold &) = delete;
    ~CopyHold() { release(); }

    OpenCopy *get() const { return copy_; }
    OpenCopy &operator*() const { return *copy_; }
    OpenCopy *operator->() const { return copy_; }
    explicit operator bool() const { return copy_ != nullptr; }
    // Lets go now; true when this was the last hold and the copy ended.
    bool release();

private:
    friend class OpenCopies;
    CopyHold(OpenCopies &copies, OpenCopy *copy) : copies_(&copies), copy_(copy) {}

    OpenCopies *copies_ = nullptr;
    OpenCopy *copy_ = nullptr;
};

// One open of a file: what the kernel's file handle names. Only a handle
// opened for writing uploads its copy.
struct FileHandle {
    CopyHold copy;
    bool writable = false;
};

// Every open copy of the mount, by pointer and by mount path.
class OpenCopies {
public:
    OpenCopies() = default;
    OpenCopies(const OpenCopies &) = delete;
    OpenCopies &operator=(const OpenCopies &) = delete;
    // Removes every copy still open (the mount went away under its handles).
    ~OpenCopies();

    // Takes over the copy at `mountPath`, held once.
    CopyHold adopt(std::unique_ptr<OpenCopy> copy, const QString &mountPath);
    // The same for a writer's copy, unless another writer's copy appeared
    // at the path meanwhile: that one is joined and `copy` dropped, so two
    // writers opening the file at once never hold two versions of it.
    CopyHold adoptOrJoinShared(std::unique_ptr<OpenCopy> copy, const QString &mountPath);
    // One more hold on the shared copy at `mountPath`; an empty hold when
    // there is no such copy.
    CopyHold joinShared(const QString &mountPath);

    // Where the copy is in the mount now (renames move it).
    QString mountPathOf(const OpenCopy *copy) const;
    // The largest open copy at the path, so that a lookup of an open file
    // reports the size a reader will really get.
    std::optional<qint64> openSize(const QString &mountPath) const;
    // What opening the file for reading just learnt from the phone, while it
    // is no older than `within`: the lookup that follows an open needs no
    // second answer.
    std::optional<struct stat> freshlyReadAt(const QString &mountPath, std::chrono::steady_clock::duration within) const;
    // A file made through the mount that the phone does not have yet.
    std::optional<struct stat> pendingAt(const QString &mountPath) const;
    // Such files directly inside a folder: name and attributes.
    QList<std::pair<QString, struct stat>> pendingIn(const QString &folderMountPath) const;

    // The file at the path was deleted or replaced: its copies stay readable
    // for their handles but are no longer found and never uploaded.
    void detach(const QString &mountPath);
    // A rename moved the path, and everything below it, to `to`.
    void move(const QString &from, const QString &to);

    int count() const;

private:
    friend class CopyHold;
    // Drops one hold; the last one closes the descriptor and removes the
    // file, and then the answer is true.
    bool release(OpenCopy *copy);
    static void discard(OpenCopy &copy);
    // With the mutex held.
    OpenCopy *joinSharedLocked(const QString &mountPath);

    struct Entry {
        std::unique_ptr<OpenCopy> copy;
        QString mountPath;
        int handles = 0;
        bool findable = true;
    };

    mutable std::mutex mutex_;
    std::map<const OpenCopy *, Entry> copies_;
};

} // namespace fileprovider
