#pragma once

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

    LocalFile(LocalFile &&other) noexcept;
    LocalFile &operator=(LocalFile &&) = delete;
    LocalFile(const LocalFile &) = delete;
    LocalFile &operator=(const LocalFile &) = delete;
    ~LocalFile();

    void append(QByteArrayView bytes);
    // What one read gives, at most `capacity` bytes: fewer is not the end
    // (a pipe hands over what its writer has written so far); 0 is.
    qsizetype readSome(char *into, qsizetype capacity);
    // A pipe or the like: its end may be its writer going away, not the
    // end of the contents.
    bool isStream() const { return stream_; }
    const QString &path() const { return path_; }
    // Idempotent; a failure to close is of no use to anyone and is ignored.
    void close();

private:
    LocalFile(int fd, QString path, bool stream = false) : fd_(fd), path_(std::move(path)), stream_(stream) {}

    int fd_ = -1;
    QString path_;
    bool stream_ = false;
};
