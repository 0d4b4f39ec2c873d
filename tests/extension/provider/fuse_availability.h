#pragma once

#include <QString>

#include <fcntl.h>
#include <optional>
#include <unistd.h>

// Why this machine cannot mount, or none when it can.
inline std::optional<QString> fuseUnusableReason() {
    const int fd = ::open("/dev/fuse", O_RDWR | O_CLOEXEC);
    if (fd >= 0) {
        ::close(fd);
        return std::nullopt;
    }
    if (::geteuid() != 0 && ::access("/usr/bin/fusermount3", X_OK) == 0) return std::nullopt;
    return QStringLiteral("/dev/fuse cannot be used here, so nothing can be mounted");
}

#define SKIP_WITHOUT_FUSE()                                                       \
    do {                                                                          \
        if (const auto reason = fuseUnusableReason()) GTEST_SKIP() << qPrintable(*reason); \
    } while (false)
