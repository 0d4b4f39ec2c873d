#pragma once

#include "platform/fileprovider/host/content_stream.h"
#include "platform/posix/file_descriptor.h"

#include <QString>

#include <atomic>

namespace fileprovider {

// The contents of a whole-file download, served as a stream. It owns the
// local file and removes it when it goes away.
class LocalCopyStream : public ContentStream {
public:
    // Fails with the file's error when it cannot be opened; the file is removed then too.
    static Outcome<ContentStreamPointer> open(const QString &localPath);
    ~LocalCopyStream() override;

    Outcome<qsizetype> readNext(char *into, qsizetype capacity) override;
    Outcome<QByteArray> readRange(qint64 offset, qint64 length) override;
    void cancel() override {}
    std::optional<qint64> knownSize() const override { return size_; }

private:
    LocalCopyStream(posix::FileDescriptor file, QString localPath, qint64 size)
        : file_(std::move(file)), localPath_(std::move(localPath)), size_(size) {}

    posix::FileDescriptor file_;
    QString localPath_;
    qint64 size_;
    qint64 next_ = 0;
};

} // namespace fileprovider
