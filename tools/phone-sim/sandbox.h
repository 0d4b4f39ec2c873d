#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace phonesim {

// Where a phone path lands.
struct PhonePath {
    enum class Kind {
        Storage,  // in the served folder; `relative` says where ("" is its top)
        Ancestor, // "/", "/storage", "/storage/emulated", ... : folders above it
        Outside,  // anything else on the phone: never touched
    };
    Kind kind = Kind::Outside;
    std::string relative;     // Storage only: "a/b", no leading or trailing "/"
    std::string normalized;   // the absolute path after "." and ".." are applied
    bool isLink = false;      // "/sdcard" itself (no trailing "/") is a symlink on a phone
};

// Applies "." and ".." lexically to an absolute phone path (a relative one
// counts from "/", the shell's and the sync service's working folder).
std::string normalizePhonePath(std::string_view path);

// Maps a phone path onto the served folder: "/sdcard/...",
// "/storage/emulated/0/..." and "/storage/self/primary/..." are the storage.
PhonePath classifyPhonePath(std::string_view path);

// Normalizes a folder given relative to the served folder ("a/./b/" -> "a/b");
// nullopt when it leaves it through "..".
std::optional<std::string> normalizeRelative(std::string_view relative);

// The served folder and its read-only parts. Every path goes through here,
// so nothing outside the folder is ever reached.
class Sandbox {
public:
    Sandbox(std::string root, std::vector<std::string> readOnlyRelative);

    const std::string &root() const { return root_; }
    std::string hostPath(const std::string &relative) const;

    // The folder or something under it refuses writes.
    bool isReadOnly(const std::string &relative) const;
    // A read-only folder is at or below `relative`.
    bool holdsReadOnly(const std::string &relative) const;

    // Symbolic links placed in the folder must not lead out of it: the
    // deepest existing folder above `relative` (and, with `followLast`,
    // `relative` itself when it exists) resolves inside the folder.
    bool staysInside(const std::string &relative, bool followLast) const;

private:
    bool insideRoot(const std::string &resolved) const;
    std::string root_;
    std::string realRoot_;
    std::vector<std::string> readOnly_;
};

} // namespace phonesim
