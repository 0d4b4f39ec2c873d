#include "platform/fileprovider/host/local_copy_stream.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace fileprovider {

namespace {

// Fills as much as the file holds; fewer bytes only at its end.
Outcome<qsizetype> readAt(int fd, char *into, qsizetype length, qint64 offset) {
    qsizetype done = 0;
    while (done < length) {
        const ssize_t count = ::pread(fd, into + done, size_t(length - done), off_t(offset + done));
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) return ProviderError::posix(errno);
        if (count == 0) break;
        done += count;
    }
    return done;
}

} // namespace

Outcome<ContentStreamPointer> LocalCopyStream::open(const QString &localPath) {
    posix::FileDescriptor file(::open(QFile::encodeName(localPath).constData(), O_RDONLY | O_CLOEXEC));
    struct stat attributes{};
    if (!file.isOpen() || ::fstat(file.get(), &attributes) != 0) {
        const int errorNumber = errno;
        QFile::remove(localPath);
        return ProviderError::posix(errorNumber);
    }
    return ContentStreamPointer(new LocalCopyStream(std::move(file), localPath, attributes.st_size));
}

LocalCopyStream::~LocalCopyStream() { QFile::remove(localPath_); }

Outcome<qsizetype> LocalCopyStream::readNext(char *into, qsizetype capacity) {
    auto read = readAt(file_.get(), into, capacity, next_);
    if (auto *count = std::get_if<qsizetype>(&read)) next_ += *count;
    return read;
}

Outcome<QByteArray> LocalCopyStream::readRange(qint64 offset, qint64 length) {
    QByteArray bytes(qsizetype(std::max<qint64>(0, std::min(length, size_ - offset))), Qt::Uninitialized);
    auto read = readAt(file_.get(), bytes.data(), bytes.size(), offset);
    if (auto *error = std::get_if<ProviderError>(&read)) return *error;
    bytes.truncate(std::get<qsizetype>(read));
    return bytes;
}

} // namespace fileprovider
