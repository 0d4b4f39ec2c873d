#include "tools/phone-sim/services.h"
#include "tools/phone-sim/sync_parts.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

namespace phonesim {

namespace {

constexpr uint32_t kList = syncId("LIST");
constexpr uint32_t kRecv = syncId("RECV");
constexpr uint32_t kSend = syncId("SEND");
constexpr uint32_t kStat = syncId("STAT");
constexpr uint32_t kQuit = syncId("QUIT");
constexpr uint32_t kStat2 = syncId("STA2");
constexpr uint32_t kLstat2 = syncId("LST2");
constexpr uint32_t kList2 = syncId("LIS2");
constexpr uint32_t kDent = syncId("DENT");
constexpr uint32_t kDone = syncId("DONE");
constexpr uint32_t kData = syncId("DATA");
constexpr uint32_t kOkay = syncId("OKAY");
constexpr uint32_t kFail = syncId("FAIL");

constexpr size_t kDataMax = 64 * 1024;
constexpr size_t kPathMax = 1024;
bool sendFail(SyncOutput &out, const std::string &reason) {
    char header[8];
    put32(header, kFail);
    put32(header + 4, uint32_t(reason.size()));
    return out.append(header, 8) && out.append(reason.data(), reason.size()) && out.flush();
}

// A request this phone's version does not know ends the service.
bool unknownCommand(SyncOutput &out, uint32_t command) {
    char reason[40];
    std::snprintf(reason, sizeof reason, "unknown command %08x", command);
    sendFail(out, reason);
    return false;
}

bool sendFailErrno(SyncOutput &out, const std::string &what, int error) {
    return sendFail(out, what + ": " + std::strerror(error));
}

// The error a phone gives for writing somewhere outside its shared storage.
int outsideError(const PhonePath &path) {
    const std::string &n = path.normalized;
    if (n.rfind("/data", 0) == 0 || n.rfind("/storage", 0) == 0 || n.rfind("/mnt", 0) == 0 || n == "/") return EACCES;
    return EROFS;
}

bool sendStat(SyncOutput &out, uint32_t command, uint32_t mode, uint32_t size, uint32_t time) {
    char reply[16];
    put32(reply, command);
    put32(reply + 4, mode);
    put32(reply + 8, size);
    put32(reply + 12, time);
    return out.append(reply, sizeof reply);
}

bool doStat(SyncOutput &out, const Sandbox &sandbox, const std::string &path) {
    const Stat2 found = statPhonePath(sandbox, path, false);
    return sendStat(out, kStat, found.mode, uint32_t(found.size), uint32_t(found.mtime));
}

bool doList(SyncOutput &out, const Sandbox &sandbox, const std::string &path) {
    const bool listed = listFolder(sandbox, classifyPhonePath(path), [&](const char *name, const struct stat &st) {
        const size_t nameLength = std::strlen(name);
        char header[20];
        put32(header, kDent);
        put32(header + 4, phoneMode(st.st_mode));
        put32(header + 8, uint32_t(st.st_size));
        put32(header + 12, uint32_t(st.st_mtime));
        put32(header + 16, uint32_t(nameLength));
        return out.append(header, sizeof header) && out.append(name, nameLength);
    });
    if (!listed) return false;
    char done[20] = {};
    put32(done, kDone);
    return out.append(done, sizeof done);
}

// Returns false when the service ends (after a FAIL, as the phone does).
bool doRecv(SyncOutput &out, Stream &stream, const Sandbox &sandbox, const std::string &path) {
    const PhonePath where = classifyPhonePath(path);
    int fd = -1;
    int error = 0;
    if (where.kind == PhonePath::Kind::Storage) {
        if (!sandbox.staysInside(where.relative, true)) {
            error = EACCES;
        } else {
            fd = ::open(sandbox.hostPath(where.relative).c_str(), O_RDONLY | O_CLOEXEC);
            if (fd < 0) error = errno;
        }
    } else if (where.kind == PhonePath::Kind::Ancestor) {
        sendFailErrno(out, "read failed", EISDIR);
        return false;
    } else {
        error = EACCES;
    }
    if (fd < 0) {
        sendFailErrno(out, "open failed", error);
        return false;
    }
    if (!out.flush()) {
        ::close(fd);
        return false;
    }
    // Fill one payload with as many DATA chunks as it holds, with one read,
    // while the payload before it is on its way.
    const size_t capacity = stream.maxPayload();
    Buffer buffer = stream.takeBuffer(capacity);
    std::vector<iovec> parts;
    parts.reserve(capacity / (8 + kDataMax) + 2);
    bool ok = true;
    bool doneSent = false;
    off_t position = 0;
    for (;;) {
        parts.clear();
        size_t offset = 0;
        while (offset + 8 < capacity) {
            const size_t room = capacity - offset - 8;
            const size_t n = room < kDataMax ? room : kDataMax;
            parts.push_back(iovec{buffer.data.get() + offset + 8, n});
            offset += 8 + n;
        }
        const ssize_t got = ::readv(fd, parts.data(), int(parts.size()));
        if (got < 0) {
            if (errno == EINTR) continue;
            const int readError = errno;
            ::close(fd);
            sendFailErrno(out, "read failed", readError);
            return false;
        }
        if (got == 0) break;
        size_t left = size_t(got);
        size_t used = 0;
        for (const iovec &part : parts) {
            if (left == 0) break;
            const size_t n = left < part.iov_len ? left : part.iov_len;
            char *header = static_cast<char *>(part.iov_base) - 8;
            put32(header, kData);
            put32(header + 4, uint32_t(n));
            used = size_t(header - buffer.data.get()) + 8 + n;
            left -= n;
        }
        position += got;
        // A file's end goes out with its last bytes, as one message, as a
        // phone's does: apart, the server's Nagle holds the DONE back from
        // adb until the host's delayed ack, 40 ms a file.
        char probe;
        doneSent = size_t(got) < offset - 8 * parts.size() && used + 8 <= capacity && ::pread(fd, &probe, 1, position) == 0;
        if (doneSent) {
            put32(buffer.data.get() + used, kDone);
            put32(buffer.data.get() + used + 4, 0);
            used += 8;
        }
        buffer.size = used;
        if (!stream.post(std::move(buffer), &buffer)) {
            ok = false;
            break;
        }
        if (doneSent) break;
    }
    ::close(fd);
    stream.recycle(std::move(buffer));
    if (!ok) return false;
    if (doneSent) return true;
    char done[8];
    put32(done, kDone);
    put32(done + 4, 0);
    return out.append(done, sizeof done);
}

// Reads and drops the rest of a SEND after a failure, until its DONE.
void discardSend(Stream &stream) {
    for (;;) {
        char header[8];
        if (!stream.read(header, sizeof header)) return;
        uint32_t command, size;
        std::memcpy(&command, header, 4);
        std::memcpy(&size, header + 4, 4);
        if (command != kData || size > kDataMax) return;
        while (size > 0) {
            const char *piece;
            size_t n;
            if (!stream.readSome(size, &piece, &n)) return;
            size -= uint32_t(n);
        }
    }
}

bool makeParents(const Sandbox &sandbox, const std::string &relative, int *error) {
    size_t slash = 0;
    while ((slash = relative.find('/', slash)) != std::string::npos) {
        const std::string folder = relative.substr(0, slash);
        ++slash;
        const std::string host = sandbox.hostPath(folder);
        struct stat st;
        if (::stat(host.c_str(), &st) == 0) {
            if (!S_ISDIR(st.st_mode)) {
                *error = ENOTDIR;
                return false;
            }
            continue;
        }
        if (sandbox.isReadOnly(folder)) {
            *error = EACCES;
            return false;
        }
        if (::mkdir(host.c_str(), 0775) != 0 && errno != EEXIST) {
            *error = errno;
            return false;
        }
    }
    return true;
}

bool doSend(SyncOutput &out, Stream &stream, const Sandbox &sandbox, const std::string &target) {
    const size_t comma = target.rfind(',');
    if (comma == std::string::npos) {
        sendFail(out, "missing , in ID_SEND");
        return false;
    }
    const std::string path = target.substr(0, comma);
    const unsigned long mode = std::strtoul(target.c_str() + comma + 1, nullptr, 0);
    const PhonePath where = classifyPhonePath(path);

    auto refuse = [&](const std::string &what, int error) {
        sendFailErrno(out, what, error);
        discardSend(stream);
        return false;
    };
    if (where.kind != PhonePath::Kind::Storage) return refuse("couldn't create file", outsideError(where));
    if (where.relative.empty()) return refuse("couldn't create file", EISDIR);
    if (!sandbox.staysInside(where.relative, false)) return refuse("couldn't create file", EACCES);
    if (sandbox.isReadOnly(where.relative)) return refuse("couldn't create file", EACCES);
    if (S_ISLNK(mode)) return refuse("symlink failed", EPERM); // shared storage holds no links

    const std::string host = sandbox.hostPath(where.relative);
    struct stat st;
    const bool exists = ::lstat(host.c_str(), &st) == 0;
    const bool replace = !exists || S_ISREG(st.st_mode) || S_ISLNK(st.st_mode);
    if (exists && replace) ::unlink(host.c_str());

    int fd = ::open(host.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0664);
    if (fd < 0 && errno == ENOENT) {
        int error = 0;
        if (!makeParents(sandbox, where.relative, &error)) return refuse("secure_mkdirs failed", error);
        fd = ::open(host.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0664);
    }
    if (fd < 0 && errno == EEXIST) fd = ::open(host.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return refuse("couldn't create file", errno);

    // The partial file goes before the FAIL, so whoever reads the FAIL
    // finds it gone.
    auto fail = [&](const std::string &what, int error, bool discard) {
        ::close(fd);
        if (replace) ::unlink(host.c_str());
        if (!what.empty()) {
            if (error) sendFailErrno(out, what, error);
            else sendFail(out, what);
        }
        if (discard) discardSend(stream);
        return false;
    };

    for (;;) {
        char header[8];
        if (!stream.read(header, sizeof header)) return fail("", 0, false);
        uint32_t command, size;
        std::memcpy(&command, header, 4);
        std::memcpy(&size, header + 4, 4);
        if (command == kData) {
            if (size > kDataMax) return fail("oversize data message", 0, false); // no way to find the next header
            while (size > 0) {
                const char *piece;
                size_t n;
                if (!stream.readSome(size, &piece, &n)) return fail("", 0, false);
                size -= uint32_t(n);
                while (n > 0) {
                    const ssize_t written = ::write(fd, piece, n);
                    if (written < 0 && errno == EINTR) continue;
                    if (written <= 0) {
                        const int error = written < 0 ? errno : ENOSPC;
                        // Drop what is left of this chunk, then the rest.
                        while (size > 0) {
                            if (!stream.readSome(size, &piece, &n)) break;
                            size -= uint32_t(n);
                        }
                        return fail("write failed", error, true);
                    }
                    piece += written;
                    n -= size_t(written);
                }
            }
        } else if (command == kDone) {
            ::close(fd);
            timespec times[2];
            times[0].tv_sec = time_t(size);
            times[0].tv_nsec = 0;
            times[1] = times[0];
            ::utimensat(AT_FDCWD, host.c_str(), times, 0);
            char reply[8];
            put32(reply, kOkay);
            put32(reply + 4, 0);
            return out.append(reply, sizeof reply);
        } else {
            return fail("invalid data message", 0, false);
        }
    }
}

} // namespace

bool listFolder(const Sandbox &sandbox, const PhonePath &where,
                const std::function<bool(const char *name, const struct stat &)> &entry) {
    if (where.kind != PhonePath::Kind::Storage || !sandbox.staysInside(where.relative, true)) return true;
    DIR *dir = ::opendir(sandbox.hostPath(where.relative).c_str());
    if (!dir) return true;
    const std::unique_ptr<DIR, int (*)(DIR *)> closer(dir, ::closedir);
    const int dirFd = ::dirfd(dir);
    while (dirent *found = ::readdir(dir)) {
        const char *name = found->d_name;
        struct stat st {};
        // Above the top lies the phone's own tree: ".." there is the top itself.
        const int got = where.relative.empty() && std::strcmp(name, "..") == 0 ? ::fstat(dirFd, &st)
                                                                               : ::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW);
        if (got == 0 && !entry(name, st)) return false;
    }
    return true;
}

void runSyncService(Stream &stream, const Sandbox &sandbox, const AndroidVersion &android) {
    SyncOutput out(stream);
    for (;;) {
        if (!out.flush()) return;
        char header[8];
        if (!stream.read(header, sizeof header)) return;
        uint32_t command, length;
        std::memcpy(&command, header, 4);
        std::memcpy(&length, header + 4, 4);
        if (length > kPathMax) {
            sendFail(out, "path too long");
            return;
        }
        std::string path(length, '\0');
        if (length > 0 && !stream.read(path.data(), length)) return;
        bool goOn = true;
        switch (command) {
        case kList:
            goOn = doList(out, sandbox, path);
            break;
        case kStat:
            goOn = doStat(out, sandbox, path);
            break;
        case kRecv:
            goOn = doRecv(out, stream, sandbox, path);
            break;
        case kSend:
            goOn = doSend(out, stream, sandbox, path);
            break;
        case kStat2:
        case kLstat2:
            if (!android.hasStatV2()) goOn = unknownCommand(out, command);
            else goOn = answerStat2(out, sandbox, path, command == kStat2);
            break;
        case kList2:
            if (!android.hasLsV2()) goOn = unknownCommand(out, command);
            else goOn = answerList2(out, sandbox, path);
            break;
        case kQuit:
            goOn = false;
            break;
        default:
            goOn = unknownCommand(out, command);
        }
        if (!goOn) break;
    }
    out.flush();
}

} // namespace phonesim
