#include "platform/fileprovider/host/direct_io_mapping.h"

#include "platform/fileprovider/host/fuse_version.h"

#include <fuse_lowlevel.h>

#include <atomic>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <unistd.h>

namespace fileprovider {

namespace {

// From the kernel's FUSE protocol (7.36 and 7.39); Debian 12's headers
// predate the second.
constexpr std::uint32_t initOpcode = 26;
constexpr std::uint64_t initExtendedFlags = 1ULL << 30;
constexpr std::uint64_t directIoAllowMmap = 1ULL << 36;
// fuse_in_header: len, opcode, unique, nodeid, uid, gid, pid, extlen, padding.
constexpr std::size_t inHeaderSize = 40;
constexpr std::size_t opcodeAt = 4;
constexpr std::size_t inUniqueAt = 8;
// fuse_init_in after the header: major, minor, max_readahead, flags, flags2.
constexpr std::size_t inFlagsAt = inHeaderSize + 12;
constexpr std::size_t inFlags2At = inHeaderSize + 16;
// fuse_out_header: len, error, unique. fuse_init_out: flags at 12, flags2 at 32.
constexpr std::size_t outHeaderSize = 16;
constexpr std::size_t outUniqueAt = 8;
constexpr std::size_t outFlagsAt = 12;
constexpr std::size_t outFlags2At = 32;

template <typename T>
T fieldAt(const void *bytes, std::size_t at) {
    T value;
    std::memcpy(&value, static_cast<const char *>(bytes) + at, sizeof value);
    return value;
}

// libfuse hands the hooks no pointer of ours, so they find their mapping
// by device. They see every request and reply, so a finished INIT must
// cost them nothing: the table is looked at only while one is pending.
std::mutex tableMutex;
std::map<int, DirectIoMapping *> table;
std::atomic<int> pending{0};

// Runs `use` with the device's mapping, under the table's lock so that
// the mapping cannot go away meanwhile.
template <typename Use>
void withMapping(int device, Use &&use) {
    if (pending.load(std::memory_order_acquire) == 0) return;
    std::lock_guard lock(tableMutex);
    if (const auto found = table.find(device); found != table.end()) use(*found->second);
}

ssize_t readRequest(int device, void *into, std::size_t length, void *) {
    const ssize_t count = ::read(device, into, length);
    if (count > 0) withMapping(device, [&](DirectIoMapping &mapping) { mapping.sawRequest(into, std::size_t(count)); });
    return count;
}

ssize_t writeReply(int device, iovec *parts, int count, void *) {
    withMapping(device, [&](DirectIoMapping &mapping) { mapping.beforeReply(parts, count); });
    return ::writev(device, parts, count);
}

ssize_t spliceThrough(int in, off_t *inOffset, int out, off_t *outOffset, std::size_t length, unsigned int flags, void *) {
    return ::splice(in, inOffset, out, outOffset, length, flags);
}

} // namespace

std::optional<InitOffer> readInitOffer(const void *request, std::size_t length) {
    if (length < inFlags2At + 4 || fieldAt<std::uint32_t>(request, opcodeAt) != initOpcode) return std::nullopt;
    const std::uint64_t flags = fieldAt<std::uint32_t>(request, inFlagsAt);
    const std::uint64_t flags2 = fieldAt<std::uint32_t>(request, inFlags2At);
    const std::uint64_t offered = (flags & initExtendedFlags) ? flags | flags2 << 32 : flags;
    return InitOffer{fieldAt<std::uint64_t>(request, inUniqueAt), (offered & directIoAllowMmap) != 0};
}

bool addMappableDirectIo(iovec *parts, int count, std::uint64_t unique) {
    // libfuse sends the header and the INIT reply as two pieces.
    if (count < 2 || parts[0].iov_len != outHeaderSize || parts[1].iov_len < outFlags2At + 4) return false;
    if (fieldAt<std::uint64_t>(parts[0].iov_base, outUniqueAt) != unique) return false;
    if (fieldAt<std::int32_t>(parts[0].iov_base, 4) != 0) return false;
    char *reply = static_cast<char *>(parts[1].iov_base);
    const std::uint32_t flags = fieldAt<std::uint32_t>(reply, outFlagsAt) | std::uint32_t(initExtendedFlags);
    const std::uint32_t flags2 = fieldAt<std::uint32_t>(reply, outFlags2At) | std::uint32_t(directIoAllowMmap >> 32);
    std::memcpy(reply + outFlagsAt, &flags, sizeof flags);
    std::memcpy(reply + outFlags2At, &flags2, sizeof flags2);
    return true;
}

DirectIoMapping::DirectIoMapping(fuse_session *session, std::function<void()> granted) : granted_(std::move(granted)) {
    const int device = fuse_session_fd(session);
    if (device < 0) return;
    fuse_custom_io hooks{};
    hooks.writev = writeReply;
    hooks.read = readRequest;
    hooks.splice_receive = spliceThrough;
    hooks.splice_send = spliceThrough;
    {
        std::lock_guard lock(tableMutex);
        table[device] = this;
    }
    pending.fetch_add(1, std::memory_order_release);
    if (fuse_session_custom_io(session, &hooks, device) != 0) {
        std::lock_guard lock(tableMutex);
        table.erase(device);
        pending.fetch_sub(1, std::memory_order_release);
        return;
    }
    device_ = device;
}

DirectIoMapping::~DirectIoMapping() {
    if (device_ < 0) return;
    std::lock_guard lock(tableMutex);
    table.erase(device_);
    if (!done_) pending.fetch_sub(1, std::memory_order_release);
}

void DirectIoMapping::sawRequest(const void *request, std::size_t length) {
    // INIT is the first request and is answered before any other comes.
    if (!offer_) offer_ = readInitOffer(request, length);
}

void DirectIoMapping::beforeReply(iovec *parts, int count) {
    if (done_) return;
    // The first reply is INIT's; after it, the hooks stop looking, whether
    // the kernel offered anything or not.
    done_ = true;
    pending.fetch_sub(1, std::memory_order_release);
    if (offer_ && offer_->mappableDirectIo && addMappableDirectIo(parts, count, offer_->unique) && granted_) granted_();
}

} // namespace fileprovider
