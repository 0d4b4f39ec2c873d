#include "tools/phone-sim/sandbox.h"

#include <climits>
#include <cstdlib>
#include <sys/stat.h>

namespace phonesim {

namespace {

std::vector<std::string_view> components(std::string_view path) {
    std::vector<std::string_view> parts;
    size_t i = 0;
    while (i < path.size()) {
        while (i < path.size() && path[i] == '/') ++i;
        size_t j = i;
        while (j < path.size() && path[j] != '/') ++j;
        if (j > i) parts.push_back(path.substr(i, j - i));
        i = j;
    }
    return parts;
}

std::string join(const std::vector<std::string_view> &parts, size_t from) {
    std::string out;
    for (size_t i = from; i < parts.size(); ++i) {
        if (!out.empty()) out.push_back('/');
        out.append(parts[i]);
    }
    return out;
}

bool startsWithParts(const std::vector<std::string_view> &parts, std::initializer_list<std::string_view> prefix) {
    if (parts.size() < prefix.size()) return false;
    size_t i = 0;
    for (std::string_view p : prefix)
        if (parts[i++] != p) return false;
    return true;
}

bool isUnderOrEqual(const std::string &path, const std::string &folder) {
    if (folder.empty()) return true;
    return path == folder || (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 && path[folder.size()] == '/');
}

} // namespace

std::string normalizePhonePath(std::string_view path) {
    std::vector<std::string_view> out;
    for (std::string_view part : components(path)) {
        if (part == ".") continue;
        if (part == "..") {
            if (!out.empty()) out.pop_back();
            continue;
        }
        out.push_back(part);
    }
    std::string normalized = "/";
    normalized += join(out, 0);
    return normalized;
}

PhonePath classifyPhonePath(std::string_view path) {
    PhonePath result;
    result.normalized = normalizePhonePath(path);
    const auto parts = components(result.normalized);
    const bool trailingSlash = !path.empty() && path.back() == '/';
    size_t prefix = 0;
    if (startsWithParts(parts, {"sdcard"})) {
        prefix = 1;
        result.isLink = parts.size() == 1 && !trailingSlash;
    } else if (startsWithParts(parts, {"storage", "emulated", "0"})) {
        prefix = 3;
    } else if (startsWithParts(parts, {"storage", "self", "primary"})) {
        prefix = 3;
        result.isLink = parts.size() == 3 && !trailingSlash;
    }
    if (prefix > 0) {
        result.kind = PhonePath::Kind::Storage;
        result.relative = join(parts, prefix);
        return result;
    }
    const std::string &n = result.normalized;
    if (n == "/" || n == "/storage" || n == "/storage/emulated" || n == "/storage/self")
        result.kind = PhonePath::Kind::Ancestor;
    return result;
}

std::optional<std::string> normalizeRelative(std::string_view relative) {
    std::vector<std::string_view> out;
    for (std::string_view part : components(relative)) {
        if (part == ".") continue;
        if (part == "..") {
            if (out.empty()) return std::nullopt;
            out.pop_back();
            continue;
        }
        out.push_back(part);
    }
    return join(out, 0);
}

Sandbox::Sandbox(std::string root, std::vector<std::string> readOnlyRelative)
    : root_(std::move(root)), readOnly_(std::move(readOnlyRelative)) {
    while (root_.size() > 1 && root_.back() == '/') root_.pop_back();
    char buffer[PATH_MAX];
    realRoot_ = ::realpath(root_.c_str(), buffer) ? std::string(buffer) : root_;
}

std::string Sandbox::hostPath(const std::string &relative) const {
    return relative.empty() ? root_ : root_ + "/" + relative;
}

bool Sandbox::isReadOnly(const std::string &relative) const {
    for (const auto &folder : readOnly_)
        if (isUnderOrEqual(relative, folder)) return true;
    return false;
}

bool Sandbox::holdsReadOnly(const std::string &relative) const {
    for (const auto &folder : readOnly_)
        if (isUnderOrEqual(folder, relative)) return true;
    return false;
}

bool Sandbox::insideRoot(const std::string &resolved) const {
    return isUnderOrEqual(resolved, realRoot_ == "/" ? std::string() : realRoot_);
}

bool Sandbox::staysInside(const std::string &relative, bool followLast) const {
    char buffer[PATH_MAX];
    std::string probe = relative;
    if (followLast && !relative.empty()) {
        struct stat st;
        if (::lstat(hostPath(relative).c_str(), &st) == 0) {
            if (!S_ISLNK(st.st_mode)) {
                // Not a link itself: only the folders above can lead away.
            } else {
                if (!::realpath(hostPath(relative).c_str(), buffer)) return false; // dangling: refuse
                return insideRoot(buffer);
            }
        }
    }
    // Check the deepest existing folder above.
    for (;;) {
        const size_t slash = probe.rfind('/');
        probe = slash == std::string::npos ? std::string() : probe.substr(0, slash);
        const std::string host = hostPath(probe);
        if (::realpath(host.c_str(), buffer)) return insideRoot(buffer);
        if (probe.empty()) return false;
    }
}

} // namespace phonesim
