#pragma once

#include "platform/fileprovider/host/extension_requests.h"
#include "platform/posix/file_descriptor.h"

#include <QString>

#include <functional>
#include <memory>

namespace fileprovider {

// An upload that runs while the file is still being written: the extension
// is handed a pipe's read end as the contents and reads the bytes as they come,
// so that a copy into the mount ends soon after its last write rather than
// one whole transfer later. Only bytes written in order from the start can
// go this way; anything else ends the stream and leaves the upload to the
// local copy.
class StreamedUpload {
public:
    // Starts the request `begin` makes for the pipe of the file at
    // `mountPath`. None when the pipe cannot be made or the request ends at
    // once.
    static std::unique_ptr<StreamedUpload> start(const QString &mountPath, const std::function<PendingChange(const ContentsFile &)> &begin,
                                                 const ExtensionRequests &requests);
    ~StreamedUpload();
    StreamedUpload(const StreamedUpload &) = delete;
    StreamedUpload &operator=(const StreamedUpload &) = delete;

    // The most the pipe holds: bytes sent from a file are still read from
    // its pages until the reader has taken them.
    static constexpr qint64 pipeCapacity = 1 << 20;

    // Bytes that follow the ones sent so far. False once the reader is gone
    // (the upload failed); finish() then tells why.
    bool send(const char *bytes, size_t count);
    // The same, taken from `file` at `offset` without a pass through this
    // process: the pipe is handed the file's cached pages.
    bool sendFromFile(int file, qint64 offset, qint64 count);
    qint64 sent() const { return sent_; }
    bool broken() const { return broken_; }
    // Ends the contents, declared complete at what was sent unless the
    // reader went away, and waits for the request's outcome.
    Outcome<ItemPointer> finish();
    // Ends the contents as cut short: the request is withdrawn first, so an
    // extension that heeds it leaves the old file as it was.
    Outcome<ItemPointer> withdraw();

private:
    StreamedUpload(posix::FileDescriptor fd, PendingChange answer, const ExtensionRequests &requests);
    void closePipe();

    posix::FileDescriptor fd_;
    PendingChange answer_;
    const ExtensionRequests &requests_;
    qint64 sent_ = 0;
    bool broken_ = false;
};

// What a withdrawn replacement had sent, kept on the phone under a hidden
// name while the local copy lacks its start; removed from the phone when
// let go.
class KeptUpload {
public:
    KeptUpload(const ExtensionRequests &requests, ItemPointer item) : requests_(requests), item_(std::move(item)) {}
    ~KeptUpload();
    KeptUpload(const KeptUpload &) = delete;
    KeptUpload &operator=(const KeptUpload &) = delete;
    ItemIdentifier identifier() const { return item_->itemIdentifier(); }

private:
    const ExtensionRequests &requests_;
    ItemPointer item_;
};

} // namespace fileprovider
