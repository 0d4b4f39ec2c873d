#include "platform/fileprovider/host/streamed_upload.h"

#include <cerrno>
#include <cstdio>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>

namespace fileprovider {

namespace {

// A reader that went away must be an error of the write, not a signal
// that ends the process.
void ignoreBrokenPipes() {
    static std::once_flag done;
    std::call_once(done, [] { std::signal(SIGPIPE, SIG_IGN); });
}

} // namespace

std::unique_ptr<StreamedUpload> StreamedUpload::start(const QString &mountPath,
                                                      const std::function<PendingChange(const ContentsFile &)> &begin,
                                                      const ExtensionRequests &requests) {
    ignoreBrokenPipes();
    if (requests.abandoned()) return nullptr;
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return nullptr;
    posix::FileDescriptor writeEnd(ends[1]);
    ::fcntl(writeEnd.get(), F_SETPIPE_SZ, int(pipeCapacity));
    // The read end lives only in the request: once it is over, a write
    // here fails instead of waiting for a reader that will never come.
    PendingChange answer = begin(ContentsFile(posix::FileDescriptor(ends[0]), mountPath));
    if (answer->ready()) {
        // Ended before reading: the flush uploads the local copy instead.
        requests.finish(answer);
        return nullptr;
    }
    return std::unique_ptr<StreamedUpload>(new StreamedUpload(std::move(writeEnd), std::move(answer), requests));
}

StreamedUpload::StreamedUpload(posix::FileDescriptor fd, PendingChange answer, const ExtensionRequests &requests)
    : fd_(std::move(fd)), answer_(std::move(answer)), requests_(requests) {}

StreamedUpload::~StreamedUpload() { closePipe(); }

void StreamedUpload::closePipe() { fd_.reset(); }

bool StreamedUpload::send(const char *bytes, size_t count) {
    size_t done = 0;
    while (!broken_ && done < count) {
        const ssize_t written = ::write(fd_.get(), bytes + done, count - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            broken_ = true;
            break;
        }
        done += static_cast<size_t>(written);
        sent_ += written;
    }
    return !broken_;
}

bool StreamedUpload::sendFromFile(int file, qint64 offset, qint64 count) {
    // splice moves this on past the bytes it took; pread below does not.
    loff_t from = offset;
    while (!broken_ && count > 0) {
        const ssize_t moved = ::splice(file, &from, fd_.get(), nullptr, size_t(count), SPLICE_F_MOVE);
        if (moved < 0 && errno == EINTR) continue;
        if (moved < 0 && errno == EINVAL) {
            // A file system that cannot splice: the bytes pass through here.
            QByteArray bytes(qsizetype(std::min<qint64>(count, 1 << 20)), Qt::Uninitialized);
            const ssize_t got = ::pread(file, bytes.data(), size_t(bytes.size()), from);
            if (got <= 0) broken_ = true;
            if (got <= 0 || !send(bytes.constData(), size_t(got))) return false;
            from += got;
            count -= got;
            continue;
        }
        if (moved <= 0) {
            broken_ = true;
            break;
        }
        count -= moved;
        sent_ += moved;
    }
    return !broken_;
}

Outcome<ItemPointer> StreamedUpload::withdraw() {
    if (answer_->progress) answer_->progress->cancel();
    return finish();
}

Outcome<ItemPointer> StreamedUpload::finish() {
    // Said before the pipe closes: its end alone never completes the upload.
    if (!broken_ && answer_->progress) answer_->progress->declareContentsComplete(sent_);
    closePipe();
    return requests_.finish(answer_);
}

KeptUpload::~KeptUpload() {
    if (auto error = requests_.remove(item_->itemIdentifier(), item_->itemVersion())) {
        std::fprintf(stderr, "VaneFileProvider: removing %s failed: %s\n", qPrintable(item_->itemIdentifier().text()),
                     qPrintable(error->description));
    }
}

} // namespace fileprovider
