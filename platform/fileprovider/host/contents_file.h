#pragma once

#include "platform/posix/file_descriptor.h"

#include <QString>

#include <memory>
#include <optional>

namespace fileprovider {

// New contents handed to the extension with a create or change request: an
// open file, read from its start, or the read end of a pipe whose writer is
// still filling it. Copies share the one descriptor, closed with the last
// of them; a pipe's writer then learns that its reader is gone.
class ContentsFile {
public:
    ContentsFile(posix::FileDescriptor descriptor, QString name)
        : descriptor_(std::make_shared<const posix::FileDescriptor>(std::move(descriptor))), name_(std::move(name)) {}

    int descriptor() const { return descriptor_->get(); }
    // What the bytes are, for messages.
    const QString &name() const { return name_; }
    // A regular file's size; none for a pipe, or when it cannot be told.
    std::optional<qint64> fileSize() const;

    friend bool operator==(const ContentsFile &, const ContentsFile &) = default;

private:
    std::shared_ptr<const posix::FileDescriptor> descriptor_;
    QString name_;
};

} // namespace fileprovider
