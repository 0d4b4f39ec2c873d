#include "platform/fileprovider/host/requesting_process.h"

#include "platform/posix/file_descriptor.h"
#include "platform/fileprovider/host/fuse_version.h"
#include <fuse.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <fcntl.h>

namespace fileprovider {

pid_t threadGroupInStatus(QByteArrayView status) {
    static constexpr QByteArrayView label = "\nTgid:";
    const qsizetype at = status.indexOf(label);
    if (at < 0) return 0;
    const char *next = status.constData() + at + label.size();
    const char *end = status.constData() + status.size();
    while (next < end && (*next == ' ' || *next == '\t')) ++next;
    pid_t group = 0;
    const auto [stop, error] = std::from_chars(next, end, group);
    if (error != std::errc() || stop == next || (stop < end && *stop != '\n') || group <= 0) return 0;
    return group;
}

namespace {

pid_t threadGroupOf(pid_t thread) {
    char path[32];
    std::snprintf(path, sizeof path, "/proc/%d/status", int(thread));
    const posix::FileDescriptor status(::open(path, O_RDONLY | O_CLOEXEC));
    if (!status.isOpen()) return 0;
    // Tgid is on the fourth line, well inside the first few hundred bytes.
    char text[512];
    ssize_t got;
    while ((got = ::read(status.get(), text, sizeof text)) < 0 && errno == EINTR) {}
    return got > 0 ? threadGroupInStatus(QByteArrayView(text, got)) : 0;
}

} // namespace

pid_t requestingProcess() {
    const fuse_context *context = fuse_get_context();
    if (!context || context->pid <= 0) return 0;
    // A writer's requests come from the same few threads: each FUSE worker
    // remembers the last one it looked up.
    thread_local pid_t lastThread = 0;
    thread_local pid_t lastGroup = 0;
    if (context->pid != lastThread) {
        lastGroup = threadGroupOf(context->pid);
        lastThread = lastGroup ? context->pid : 0;
    }
    return lastGroup;
}

} // namespace fileprovider
