#include "extension/adbclient/local_file.h"

#include "extension/adbclient/local_file_error.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

LocalFile LocalFile::createForWriting(const QString &path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) throw LocalFileError(errno, path);
    return LocalFile(fd, path);
}

LocalFile LocalFile::openForReading(const QString &path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw LocalFileError(errno, path);
    return forReading(fd, path);
}

LocalFile LocalFile::readingFrom(int descriptor, const QString &name) {
    const int fd = ::fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
    if (fd < 0) throw LocalFileError(errno, name);
    return forReading(fd, name);
}

LocalFile LocalFile::forReading(int fd, const QString &path) {
    LocalFile file(fd, path);
    struct stat status {};
    if (::fstat(fd, &status) != 0) throw LocalFileError(errno, path);
    if (S_ISDIR(status.st_mode)) throw LocalFileError(EISDIR, path);
    file.stream_ = !S_ISREG(status.st_mode) && !S_ISBLK(status.st_mode);
    return file;
}

void LocalFile::append(QByteArrayView bytes) {
    const char *next = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd_.get(), next, size_t(left));
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) throw LocalFileError(written < 0 ? errno : EIO, path_);
        next += written;
        left -= written;
    }
}

qsizetype LocalFile::readSome(char *into, qsizetype capacity) {
    for (;;) {
        const ssize_t got = stream_ ? ::read(fd_.get(), into, size_t(capacity)) : ::pread(fd_.get(), into, size_t(capacity), offset_);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) throw LocalFileError(errno, path_);
        offset_ += got;
        return got;
    }
}
