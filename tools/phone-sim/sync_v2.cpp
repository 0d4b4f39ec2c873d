// The sync service's second-version records (64-bit sizes and times, the
// phone's errno) and the lookup that both versions answer from.
#include "tools/phone-sim/sync_parts.h"

#include <cerrno>
#include <fcntl.h>

namespace phonesim {

namespace {

constexpr uint32_t kDnt2 = syncId("DNT2");
constexpr uint32_t kDone = syncId("DONE");
constexpr uint32_t kRootUid = 0;
constexpr uint32_t kSdcardRwGid = 1015; // owner of shared storage's files on a phone

Stat2 fromHost(const struct stat &st) {
    Stat2 fields;
    fields.dev = uint64_t(st.st_dev);
    fields.ino = uint64_t(st.st_ino);
    fields.mode = phoneMode(st.st_mode);
    fields.nlink = uint32_t(st.st_nlink);
    fields.uid = kRootUid;
    fields.gid = kSdcardRwGid;
    fields.size = uint64_t(st.st_size);
    fields.atime = int64_t(st.st_atime);
    fields.mtime = int64_t(st.st_mtime);
    fields.ctime = int64_t(st.st_ctime);
    return fields;
}

Stat2 failed(int error) {
    Stat2 fields;
    fields.error = uint32_t(error);
    return fields;
}

Stat2 rootFsEntry(uint32_t mode, uint64_t size) {
    Stat2 fields;
    fields.mode = mode;
    fields.nlink = 1;
    fields.size = size;
    fields.atime = fields.mtime = fields.ctime = kRootFsTime;
    return fields;
}

} // namespace

Stat2 statPhonePath(const Sandbox &sandbox, const std::string &path, bool followLinks) {
    const PhonePath where = classifyPhonePath(path);
    if (where.kind == PhonePath::Kind::Ancestor) return rootFsEntry(S_IFDIR | 0755, 4096);
    if (where.kind == PhonePath::Kind::Outside) return failed(ENOENT);
    // "/sdcard" -> "/storage/self/primary" -> "/mnt/user/0/primary": the
    // length of the target is a link's size.
    if (where.isLink && !followLinks) return rootFsEntry(S_IFLNK | 0777, where.normalized == "/sdcard" ? 21 : 19);
    struct stat st {};
    if (!sandbox.staysInside(where.relative, followLinks)) return failed(EACCES);
    const std::string host = sandbox.hostPath(where.relative);
    if ((followLinks ? ::stat(host.c_str(), &st) : ::lstat(host.c_str(), &st)) != 0) return failed(errno);
    return fromHost(st);
}

void encodeStat2(const Stat2 &fields, char *at) {
    put32(at, fields.error);
    put64(at + 4, fields.dev);
    put64(at + 12, fields.ino);
    put32(at + 20, fields.mode);
    put32(at + 24, fields.nlink);
    put32(at + 28, fields.uid);
    put32(at + 32, fields.gid);
    put64(at + 36, fields.size);
    put64(at + 44, uint64_t(fields.atime));
    put64(at + 52, uint64_t(fields.mtime));
    put64(at + 60, uint64_t(fields.ctime));
}

bool answerStat2(SyncOutput &out, const Sandbox &sandbox, const std::string &path, bool followLinks) {
    char reply[4 + kStat2Size];
    put32(reply, syncId(followLinks ? "STA2" : "LST2"));
    encodeStat2(statPhonePath(sandbox, path, followLinks), reply + 4);
    return out.append(reply, sizeof reply);
}

bool answerList2(SyncOutput &out, const Sandbox &sandbox, const std::string &path) {
    const bool listed = listFolder(sandbox, classifyPhonePath(path), [&](const char *name, const struct stat &st) {
        const size_t nameLength = std::strlen(name);
        char header[4 + kStat2Size + 4];
        put32(header, kDnt2);
        encodeStat2(fromHost(st), header + 4);
        put32(header + 4 + kStat2Size, uint32_t(nameLength));
        return out.append(header, sizeof header) && out.append(name, nameLength);
    });
    if (!listed) return false;
    // The end is a whole record of zeros.
    char done[4 + kStat2Size + 4] = {};
    put32(done, kDone);
    return out.append(done, sizeof done);
}

} // namespace phonesim
