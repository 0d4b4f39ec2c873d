#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <sys/uio.h>

struct fuse_session;

namespace fileprovider {

// The kernel's first request (INIT): its id, and whether the kernel
// offers to map files opened for direct I/O shared. None for any other
// request.
struct InitOffer {
    std::uint64_t unique = 0;
    bool mappableDirectIo = false;
};
std::optional<InitOffer> readInitOffer(const void *request, std::size_t length);
// Adds the request for shared mappings of direct I/O files to the reply
// in `parts` when it answers the INIT `unique`; false (and nothing
// changed) for any other reply.
bool addMappableDirectIo(iovec *parts, int count, std::uint64_t unique);

// Files read past the page cache (direct I/O) in large pieces cost far
// less to copy out, but the kernel maps them shared (QFile::map, Python's
// mmap) only when asked at INIT, which kernels from 6.6 allow and libfuse
// before 3.16 cannot ask for. Installed on a mounted session, this sits
// between libfuse and the device and asks in libfuse's reply, where the
// kernel offered it; `granted` runs once the reply asks.
class DirectIoMapping {
public:
    DirectIoMapping(fuse_session *session, std::function<void()> granted);
    ~DirectIoMapping();
    DirectIoMapping(const DirectIoMapping &) = delete;
    DirectIoMapping &operator=(const DirectIoMapping &) = delete;

    // From the hooks, with the table of mappings locked.
    void sawRequest(const void *request, std::size_t length);
    void beforeReply(iovec *parts, int count);

private:
    int device_ = -1;
    std::function<void()> granted_;
    std::optional<InitOffer> offer_;
    bool done_ = false;
};

} // namespace fileprovider
