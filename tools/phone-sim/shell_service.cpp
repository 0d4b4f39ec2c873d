#include "tools/phone-sim/services.h"
#include "tools/phone-sim/shell_words.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>
#include <string>
#include <vector>

namespace phonesim {

namespace {

struct Shell {
    const ShellEnvironment &env;
    std::string out;

    const Sandbox &sandbox() const { return *env.sandbox; }

    void line(const std::string &text) {
        out += text;
        out += '\n';
    }
    void error(const std::string &tool, const std::string &quotedPath, int code) {
        line(tool + ": " + quotedPath + ": " + std::strerror(code));
    }
};

std::string quoted(const std::string &path) { return "'" + path + "'"; }

std::string baseName(const std::string &relative) {
    const size_t slash = relative.rfind('/');
    return slash == std::string::npos ? relative : relative.substr(slash + 1);
}

int outsideError(const PhonePath &path) {
    const std::string &n = path.normalized;
    if (n.rfind("/data", 0) == 0 || n.rfind("/storage", 0) == 0 || n.rfind("/mnt", 0) == 0 || n == "/") return EACCES;
    return EROFS;
}

// Options are single letters, possibly grouped ("-rf"); "--" ends them.
bool takeOptions(const std::vector<std::string> &words, size_t *index, const std::string &allowed, std::string *seen,
                 std::string *bad) {
    size_t i = 1;
    while (i < words.size()) {
        const std::string &w = words[i];
        if (w == "--") {
            ++i;
            break;
        }
        if (w.size() < 2 || w[0] != '-') break;
        for (size_t k = 1; k < w.size(); ++k) {
            if (allowed.find(w[k]) == std::string::npos) {
                *bad = std::string(1, w[k]);
                return false;
            }
            seen->push_back(w[k]);
        }
        ++i;
    }
    *index = i;
    return true;
}

bool has(const std::string &flags, char flag) { return flags.find(flag) != std::string::npos; }

int mkdirCommand(Shell &sh, const std::vector<std::string> &words) {
    size_t i;
    std::string flags, bad;
    if (!takeOptions(words, &i, "pv", &flags, &bad)) {
        sh.line("mkdir: Unknown option '" + bad + "'");
        return 1;
    }
    if (i >= words.size()) {
        sh.line("mkdir: Needs 1 argument");
        return 1;
    }
    const bool parents = has(flags, 'p');
    int status = 0;
    for (; i < words.size(); ++i) {
        const std::string &arg = words[i];
        const PhonePath where = classifyPhonePath(arg);
        if (where.kind != PhonePath::Kind::Storage) {
            if (where.kind == PhonePath::Kind::Ancestor && parents) continue;
            sh.error("mkdir", quoted(arg), where.kind == PhonePath::Kind::Ancestor ? EEXIST : outsideError(where));
            status = 1;
            continue;
        }
        if (!sh.sandbox().staysInside(where.relative, true)) {
            sh.error("mkdir", quoted(arg), EACCES);
            status = 1;
            continue;
        }
        // Walk down from the top, making what is missing.
        std::vector<std::string> steps;
        for (size_t slash = 0; (slash = where.relative.find('/', slash)) != std::string::npos; ++slash)
            steps.push_back(where.relative.substr(0, slash));
        steps.push_back(where.relative);
        if (where.relative.empty()) steps.assign(1, "");
        int failure = 0;
        for (size_t s = 0; s < steps.size() && !failure; ++s) {
            const bool last = s + 1 == steps.size();
            const std::string host = sh.sandbox().hostPath(steps[s]);
            struct stat st;
            if (::stat(host.c_str(), &st) == 0) {
                if (!S_ISDIR(st.st_mode)) failure = last ? EEXIST : ENOTDIR;
                else if (last && !parents) failure = EEXIST;
                continue;
            }
            if (!last && !parents) {
                failure = ENOENT;
                break;
            }
            if (sh.sandbox().isReadOnly(steps[s])) {
                failure = EACCES;
                break;
            }
            if (::mkdir(host.c_str(), 0775) != 0 && !(errno == EEXIST && parents)) failure = errno;
        }
        if (failure) {
            sh.error("mkdir", quoted(arg), failure);
            status = 1;
        }
    }
    return status;
}

// Parses touch's options; -d takes the time as "@SECONDS", as toybox does.
bool takeTouchOptions(Shell &sh, const std::vector<std::string> &words, size_t *index, std::string *flags,
                      std::optional<time_t> *when) {
    size_t i = 1;
    while (i < words.size() && words[i].size() >= 2 && words[i][0] == '-') {
        const std::string &w = words[i++];
        if (w == "--") break;
        for (size_t k = 1; k < w.size(); ++k) {
            if (w[k] == 'd') {
                std::string value = k + 1 < w.size() ? w.substr(k + 1) : (i < words.size() ? words[i++] : "");
                char *end = nullptr;
                const long long seconds = value.size() > 1 && value[0] == '@' ? std::strtoll(value.c_str() + 1, &end, 10) : 0;
                if (!end || *end != '\0') {
                    sh.line("touch: bad date '" + value + "'");
                    return false;
                }
                *when = time_t(seconds);
                break;
            }
            if (std::string("acmh").find(w[k]) == std::string::npos) {
                sh.line("touch: Unknown option '" + std::string(1, w[k]) + "'");
                return false;
            }
            flags->push_back(w[k]);
        }
    }
    *index = i;
    return true;
}

int touchCommand(Shell &sh, const std::vector<std::string> &words) {
    size_t i;
    std::string flags;
    std::optional<time_t> when;
    if (!takeTouchOptions(sh, words, &i, &flags, &when)) return 1;
    if (i >= words.size()) {
        sh.line("touch: Needs 1 argument");
        return 1;
    }
    // With -m only the modification time changes; the access time is omitted.
    timespec times[2];
    times[0].tv_sec = times[1].tv_sec = when.value_or(0);
    times[0].tv_nsec = has(flags, 'm') && !has(flags, 'a') ? UTIME_OMIT : (when ? 0 : UTIME_NOW);
    times[1].tv_nsec = has(flags, 'a') && !has(flags, 'm') ? UTIME_OMIT : (when ? 0 : UTIME_NOW);
    int status = 0;
    for (; i < words.size(); ++i) {
        const std::string &arg = words[i];
        const PhonePath where = classifyPhonePath(arg);
        int failure = 0;
        if (where.kind != PhonePath::Kind::Storage) {
            failure = outsideError(where);
        } else if (!sh.sandbox().staysInside(where.relative, true) || sh.sandbox().isReadOnly(where.relative) ||
                   where.relative.empty()) {
            failure = EACCES;
        } else {
            const std::string host = sh.sandbox().hostPath(where.relative);
            if (::utimensat(AT_FDCWD, host.c_str(), times, 0) != 0) {
                if (errno == ENOENT && !has(flags, 'c')) {
                    const int fd = ::open(host.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0664);
                    if (fd < 0) failure = errno;
                    else {
                        ::futimens(fd, times);
                        ::close(fd);
                    }
                } else if (errno != ENOENT) {
                    failure = errno;
                }
            }
        }
        if (failure) {
            sh.error("touch", quoted(arg), failure);
            status = 1;
        }
    }
    return status;
}

int mvCommand(Shell &sh, const std::vector<std::string> &words) {
    size_t i;
    std::string flags, bad;
    if (!takeOptions(words, &i, "finv", &flags, &bad)) {
        sh.line("mv: Unknown option '" + bad + "'");
        return 1;
    }
    if (words.size() - i < 2) {
        sh.line("mv: Needs 2 arguments");
        return 1;
    }
    const std::string &destination = words.back();
    const PhonePath to = classifyPhonePath(destination);
    bool intoFolder = false;
    if (to.kind == PhonePath::Kind::Storage && sh.sandbox().staysInside(to.relative, true)) {
        struct stat st;
        intoFolder = ::stat(sh.sandbox().hostPath(to.relative).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
    if (words.size() - i > 2 && !intoFolder) {
        sh.line("mv: '" + destination + "' not directory");
        return 1;
    }
    int status = 0;
    for (; i + 1 < words.size(); ++i) {
        const std::string &source = words[i];
        const PhonePath from = classifyPhonePath(source);
        int failure = 0;
        std::string target;
        if (from.kind != PhonePath::Kind::Storage) {
            failure = outsideError(from);
        } else if (from.relative.empty()) {
            failure = EBUSY;
        } else if (to.kind != PhonePath::Kind::Storage) {
            failure = outsideError(to);
        } else {
            target = intoFolder ? (to.relative.empty() ? baseName(from.relative) : to.relative + "/" + baseName(from.relative))
                                : to.relative;
            struct stat st;
            if (!sh.sandbox().staysInside(from.relative, false) || !sh.sandbox().staysInside(target, false)) failure = EACCES;
            else if (::lstat(sh.sandbox().hostPath(from.relative).c_str(), &st) != 0) failure = errno;
            else if (sh.sandbox().isReadOnly(from.relative) || sh.sandbox().holdsReadOnly(from.relative) ||
                     sh.sandbox().isReadOnly(target) || target.empty())
                failure = EACCES;
            else if (has(flags, 'n') && ::lstat(sh.sandbox().hostPath(target).c_str(), &st) == 0)
                continue;
            else if (::rename(sh.sandbox().hostPath(from.relative).c_str(), sh.sandbox().hostPath(target).c_str()) != 0)
                failure = errno;
        }
        if (failure) {
            sh.error("mv", quoted(source), failure);
            status = 1;
        }
    }
    return status;
}

// Removes what it may under `relative`, printing an error for each thing
// that stays. Returns whether everything went.
bool removeTree(Shell &sh, const std::string &relative, const std::string &shown, bool recursive, bool force) {
    const std::string host = sh.sandbox().hostPath(relative);
    struct stat st;
    if (::lstat(host.c_str(), &st) != 0) {
        if (!force || errno != ENOENT) {
            sh.line("rm: " + shown + ": " + std::strerror(errno));
            return false;
        }
        return true;
    }
    if (sh.sandbox().isReadOnly(relative)) {
        sh.line("rm: " + shown + ": " + std::strerror(EACCES));
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        if (::unlink(host.c_str()) != 0) {
            sh.line("rm: " + shown + ": " + std::strerror(errno));
            return false;
        }
        return true;
    }
    if (!recursive) {
        sh.line("rm: " + shown + ": " + std::strerror(EISDIR));
        return false;
    }
    bool all = true;
    if (DIR *dir = ::opendir(host.c_str())) {
        std::vector<std::string> names;
        while (dirent *entry = ::readdir(dir)) {
            if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
            names.emplace_back(entry->d_name);
        }
        ::closedir(dir);
        for (const auto &name : names)
            all = removeTree(sh, relative + "/" + name, shown + (shown.empty() || shown.back() != '/' ? "/" : "") + name,
                             recursive, force) &&
                  all;
    }
    if (!all) {
        sh.line("rm: " + shown + ": " + std::strerror(ENOTEMPTY));
        return false;
    }
    if (::rmdir(host.c_str()) != 0) {
        sh.line("rm: " + shown + ": " + std::strerror(errno));
        return false;
    }
    return true;
}

int rmCommand(Shell &sh, const std::vector<std::string> &words) {
    size_t i;
    std::string flags, bad;
    if (!takeOptions(words, &i, "rRfiv", &flags, &bad)) {
        sh.line("rm: Unknown option '" + bad + "'");
        return 1;
    }
    const bool force = has(flags, 'f');
    const bool recursive = has(flags, 'r') || has(flags, 'R');
    if (i >= words.size()) {
        if (force) return 0;
        sh.line("rm: Needs 1 argument");
        return 1;
    }
    int status = 0;
    for (; i < words.size(); ++i) {
        const std::string &arg = words[i];
        const PhonePath where = classifyPhonePath(arg);
        if (where.kind != PhonePath::Kind::Storage) {
            sh.line("rm: " + arg + ": " + std::strerror(outsideError(where)));
            status = 1;
            continue;
        }
        if (where.relative.empty()) {
            // The storage's top is a mount point under a read-only root.
            sh.line("rm: " + arg + ": " + std::strerror(EROFS));
            status = 1;
            continue;
        }
        if (!sh.sandbox().staysInside(where.relative, false)) {
            sh.line("rm: " + arg + ": " + std::strerror(EACCES));
            status = 1;
            continue;
        }
        if (!removeTree(sh, where.relative, arg, recursive, force)) status = 1;
    }
    return status;
}

std::string percentUsed(const DfFigures &figures) {
    const long double used = std::strtold(figures.usedKb.c_str(), nullptr);
    const long double available = std::strtold(figures.availableKb.c_str(), nullptr);
    const long double whole = used + available;
    long double percent = whole > 0 ? std::ceil(used * 100 / whole) : 0;
    if (!(percent >= 0)) percent = 0;
    if (percent > 100) percent = 100;
    return std::to_string(int(percent)) + "%";
}

int dfCommand(Shell &sh, const std::vector<std::string> &words) {
    size_t i;
    std::string flags, bad;
    if (!takeOptions(words, &i, "kP", &flags, &bad)) {
        sh.line("df: Unknown option '" + bad + "'");
        return 1;
    }
    for (size_t k = i; k < words.size(); ++k) {
        const PhonePath where = classifyPhonePath(words[k]);
        if (where.kind != PhonePath::Kind::Storage) {
            sh.line("df: " + quoted(words[k]) + ": " + std::strerror(EACCES));
            return 1;
        }
    }
    sh.out += dfReport(sh.env.df);
    return 0;
}

int ipCommand(Shell &sh, const std::vector<std::string> &words) {
    std::vector<std::string> rest(words.begin() + 1, words.end());
    size_t k = 0;
    bool inet = false;
    if (k + 1 < rest.size() && rest[k] == "-f" && rest[k + 1] == "inet") {
        inet = true;
        k += 2;
    } else if (k < rest.size() && rest[k] == "-4") {
        inet = true;
        ++k;
    }
    auto is = [&](std::initializer_list<const char *> names) {
        if (k >= rest.size()) return false;
        for (const char *n : names)
            if (rest[k] == n) return true;
        return false;
    };
    if (inet && is({"addr", "address", "a"})) {
        ++k;
        if (is({"show", "list", "ls"})) ++k;
        if (k < rest.size() && rest[k] == "dev") ++k;
        if (k + 1 == rest.size()) {
            if (rest[k] == "wlan0") {
                sh.out += wlanReport(sh.env.wifiAddress);
                return sh.env.wifiAddress.empty() ? 1 : 0;
            }
            sh.line("Device \"" + rest[k] + "\" does not exist.");
            return 1;
        }
    }
    sh.line("Object \"" + (rest.empty() ? std::string() : rest.back()) + "\" is unknown, try \"ip help\".");
    return 1;
}

int runOne(Shell &sh, const std::vector<std::string> &words) {
    const std::string &name = words.front();
    if (name == "mkdir") return mkdirCommand(sh, words);
    if (name == "touch") return touchCommand(sh, words);
    if (name == "mv") return mvCommand(sh, words);
    if (name == "rm") return rmCommand(sh, words);
    if (name == "df") return dfCommand(sh, words);
    if (name == "ip") return ipCommand(sh, words);
    if (isSystemCommand(name)) return runSystemCommand(words, sh.env, &sh.out);
    if (name == "true") return 0;
    if (name == "false") return 1;
    sh.line("/system/bin/sh: " + name + ": inaccessible or not found");
    return 127;
}

} // namespace

std::string dfReport(const DfFigures &figures) {
    const std::string fields[2][6] = {
        {"Filesystem", "1K-blocks", "Used", "Available", "Use%", "Mounted on"},
        {"/dev/fuse", figures.totalKb, figures.usedKb, figures.availableKb, percentUsed(figures), "/storage/emulated"},
    };
    size_t widths[5] = {14, 9, 7, 9, 4};
    for (const auto &row : fields)
        for (size_t c = 0; c < 5; ++c) widths[c] = std::max(widths[c], row[c].size());
    std::string report;
    for (const auto &row : fields) {
        report += row[0] + std::string(widths[0] - row[0].size(), ' ');
        for (size_t c = 1; c < 5; ++c) report.append(1 + widths[c] - row[c].size(), ' ').append(row[c]);
        report += " " + row[5] + "\n";
    }
    return report;
}

std::string wlanReport(const std::string &address) {
    if (address.empty()) return "Device \"wlan0\" does not exist.\n";
    std::string broadcast = address;
    const size_t dot = broadcast.rfind('.');
    if (dot != std::string::npos) broadcast = broadcast.substr(0, dot + 1) + "255";
    return "30: wlan0: <BROADCAST,MULTICAST,UP,LOWER_UP> mtu 1500 qdisc mq state UP group default qlen 3000\n"
           "    inet " +
           address + "/24 brd " + broadcast +
           " scope global wlan0\n"
           "       valid_lft forever preferred_lft forever\n";
}

std::string runShellCommand(const std::string &commandLine, const ShellEnvironment &environment) {
    Shell sh{environment, {}};
    const CommandLine line = parseCommandLine(commandLine);
    if (!line.ok()) {
        sh.line("/system/bin/sh: " + line.error);
        return sh.out;
    }
    int status = 0;
    for (const auto &command : line.commands) {
        if (command.joiner == "&&" && status != 0) continue;
        if (command.joiner == "||" && status == 0) continue;
        status = runOne(sh, command.words);
    }
    return sh.out;
}

} // namespace phonesim
