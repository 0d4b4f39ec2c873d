#pragma once

// What the sync service's first- and second-version records share.
#include "tools/phone-sim/sandbox.h"
#include "tools/phone-sim/transport.h"

#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <sys/stat.h>

namespace phonesim {

constexpr uint32_t syncId(const char (&name)[5]) {
    return uint32_t(uint8_t(name[0])) | uint32_t(uint8_t(name[1])) << 8 | uint32_t(uint8_t(name[2])) << 16 |
           uint32_t(uint8_t(name[3])) << 24;
}

// The time stamp of the links in a phone's root file system.
constexpr uint32_t kRootFsTime = 1230768000;

inline void put32(char *at, uint32_t value) { std::memcpy(at, &value, 4); }
inline void put64(char *at, uint64_t value) { std::memcpy(at, &value, 8); }

// Collects small replies into one WRTE; must be flushed before waiting for
// the next request.
class SyncOutput {
public:
    explicit SyncOutput(Stream &stream) : stream_(stream), capacity_(stream.maxPayload()) {
        buffer_.reset(new char[capacity_]);
    }
    bool append(const void *data, size_t size) {
        if (size_ + size > capacity_ && !flush()) return false;
        if (size > capacity_) return stream_.write(data, size);
        std::memcpy(buffer_.get() + size_, data, size);
        size_ += size;
        return true;
    }
    bool flush() {
        if (size_ == 0) return true;
        const bool ok = stream_.write(buffer_.get(), size_);
        size_ = 0;
        return ok;
    }

private:
    Stream &stream_;
    size_t capacity_;
    std::unique_ptr<char[]> buffer_;
    size_t size_ = 0;
};

// What the phone's sdcard shows for a mode: its file systems keep no
// permission bits of their own.
inline uint32_t phoneMode(mode_t mode) {
    if (S_ISDIR(mode)) return S_IFDIR | 0771;
    if (S_ISREG(mode)) return S_IFREG | 0660;
    return uint32_t(mode);
}

// Calls `entry` for each entry of a served folder ("." and ".." included)
// until it returns false; a folder that is missing or out of reach has none.
// Returns false when `entry` did.
bool listFolder(const Sandbox &sandbox, const PhonePath &where,
                const std::function<bool(const char *name, const struct stat &)> &entry);

// The second-version records behind stat_v2 (STA2 follows links, LST2 does
// not) and ls_v2 (LIS2).
bool answerStat2(SyncOutput &out, const Sandbox &sandbox, const std::string &path, bool followLinks);
bool answerList2(SyncOutput &out, const Sandbox &sandbox, const std::string &path);

// A v2 stat record's 68 bytes after its id, little-endian and packed.
struct Stat2 {
    uint32_t error = 0;
    uint64_t dev = 0, ino = 0;
    uint32_t mode = 0, nlink = 0, uid = 0, gid = 0;
    uint64_t size = 0;
    int64_t atime = 0, mtime = 0, ctime = 0;
};
constexpr size_t kStat2Size = 68;
void encodeStat2(const Stat2 &fields, char *at);

// What a stat of a phone path finds; all but `error` 0 when it fails.
Stat2 statPhonePath(const Sandbox &sandbox, const std::string &path, bool followLinks);

} // namespace phonesim
