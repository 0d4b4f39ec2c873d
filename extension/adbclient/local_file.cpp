#include "extension/adbclient/local_file.h"

#include "extension/adbclient/local_file_error.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

LocalFile LocalFile::createForWriting(const QString &path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) throw LocalFileError(errno, path);
    return LocalFile(fd, path);
}

LocalFile LocalFile::openForReading(const QString &path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw LocalFileError(errno, path);
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        const int error = errno;
        ::close(fd);
        throw LocalFileError(error, path);
    }
    LocalFile file(fd, path, !S_ISREG(status.st_mode) && !S_ISBLK(status.st_mode));
    if (S_ISDIR(status.st_mode)) throw LocalFileError(EISDIR, path);
    return file;
}

LocalFile::LocalFile(LocalFile &&other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)), stream_(other.stream_) {}

LocalFile::~LocalFile() { close(); }

void LocalFile::close() {
    if (fd_ >= 0) ::close(std::exchange(fd_, -1));
}

void LocalFile::append(QByteArrayView bytes) {
    const char *next = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd_, next, size_t(left));
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) throw LocalFileError(written < 0 ? errno : EIO, path_);
        next += written;
        left -= written;
    }
}

qsizetype LocalFile::readSome(char *into, qsizetype capacity) {
    for (;;) {
        const ssize_t got = ::read(fd_, into, size_t(capacity));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) throw LocalFileError(errno, path_);
        return got;
    }
}

