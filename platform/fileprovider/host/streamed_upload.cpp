#include "platform/fileprovider/host/streamed_upload.h"

#include <QFile>
#include <QUuid>

#include <cerrno>
#include <cstdio>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace fileprovider {

namespace {

constexpr std::chrono::seconds readerWait{3};

// A reader that went away must be an error of the write, not a signal
// that ends the process.
void ignoreBrokenPipes() {
    static std::once_flag done;
    std::call_once(done, [] { std::signal(SIGPIPE, SIG_IGN); });
}

} // namespace

std::unique_ptr<StreamedUpload> StreamedUpload::start(const QString &folder, const std::function<PendingChange(const QString &)> &begin,
                                                      const ExtensionRequests &requests) {
    ignoreBrokenPipes();
    const QString pipePath = folder + u'/' + QUuid::createUuid().toString(QUuid::WithoutBraces) + QStringLiteral(".pipe");
    const QByteArray nativePath = QFile::encodeName(pipePath);
    if (::mkfifo(nativePath.constData(), 0600) != 0) return nullptr;
    PendingChange answer = begin(pipePath);
    // Opening for writing succeeds only once the reader is there. A reader
    // that does not come soon (every worker busy) is not waited for: the
    // local copy is uploaded on flush instead.
    const auto giveUp = std::chrono::steady_clock::now() + readerWait;
    FileDescriptor fd;
    while (fd.reset(::open(nativePath.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC)), !fd.isOpen()) {
        if (errno != ENXIO || answer->ready() || requests.abandoned() || std::chrono::steady_clock::now() > giveUp) {
            // A reader that gets in at the last moment must not wait forever
            // for a writer: holding both ends while the name goes, then
            // letting go, gives it an empty file, which the flush replaces.
            const FileDescriptor bothEnds(::open(nativePath.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
            ::unlink(nativePath.constData());
            return nullptr;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
    ::fcntl(fd.get(), F_SETPIPE_SZ, int(pipeCapacity));
    // The reader has it open; the name is no longer needed.
    ::unlink(nativePath.constData());
    return std::unique_ptr<StreamedUpload>(new StreamedUpload(pipePath, std::move(fd), std::move(answer), requests));
}

StreamedUpload::StreamedUpload(QString pipePath, FileDescriptor fd, PendingChange answer, const ExtensionRequests &requests)
    : pipePath_(std::move(pipePath)), fd_(std::move(fd)), answer_(std::move(answer)), requests_(requests) {}

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
