#pragma once

#include "platform/posix/file_descriptor.h"

#include <QByteArrayView>
#include <QString>

// A local file of a download or an upload, closed when the value goes away.
// Failures are LocalFileError with the platform's errno.
class LocalFile {
public:
    // Creates the file or empties an existing one.
    static LocalFile createForWriting(const QString &path);
    // Refuses folders up front, so nothing is sent for them.
    static LocalFile openForReading(const QString &path);
    // Reads what the open `descriptor` holds, from its start (a file) or
    // from where its writer is (a pipe), through a descriptor of its own.
    // `name` is for messages only.
    static LocalFile readingFrom(int descriptor, const QString &name);

    LocalFile(LocalFile &&other) noexcept = default;
    LocalFile &operator=(LocalFile &&) = delete;
    LocalFile(const LocalFile &) = delete;
    LocalFile &operator=(const LocalFile &) = delete;
    ~LocalFile() = default;

    void append(QByteArrayView bytes);
    // What one read gives, at most `capacity` bytes: fewer is not the end
    // (a pipe hands over what its writer has written so far); 0 is.
    qsizetype readSome(char *into, qsizetype capacity);
    // A pipe or the like: its end may be its writer going away, not the
    // end of the contents, and it cannot be read twice.
    bool isStream() const { return stream_; }
    // Reads a file again from its start.
    void rewind() { offset_ = 0; }
    const QString &path() const { return path_; }
    // Idempotent; a failure to close is of no use to anyone and is ignored.
    void close() { fd_.reset(); }

private:
    LocalFile(int fd, QString path) : fd_(fd), path_(std::move(path)) {}
    // A descriptor shared with others is read at an offset of its own.
    static LocalFile forReading(int fd, const QString &path);

    posix::FileDescriptor fd_;
    QString path_;
    bool stream_ = false;
    qint64 offset_ = 0;
};
