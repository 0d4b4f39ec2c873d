// The phone's system commands: its properties, where /sdcard leads, and the
// two ways of asking its media index to scan a path. Nothing here is run by
// a real shell, and only the served folder is ever looked at.
#include "tools/phone-sim/services.h"
#include "tools/phone-sim/sync_parts.h"

#include <fcntl.h>
#include <unistd.h>

#include <map>
#include <optional>

namespace phonesim {

namespace {

constexpr const char *kScanAction = "android.intent.action.MEDIA_SCANNER_SCAN_FILE";

std::map<std::string, std::string> properties(const ShellEnvironment &env) {
    return {
        {"ro.build.version.release", env.android.release()},
        {"ro.build.version.sdk", std::to_string(env.android.sdk())},
        {"ro.product.device", "dorvane_sim"},
        {"ro.product.model", env.model},
        {"ro.product.name", "dorvane_sim"},
    };
}

int getprop(const std::vector<std::string> &words, const ShellEnvironment &env, std::string *out) {
    const auto known = properties(env);
    if (words.size() == 1) {
        for (const auto &[name, value] : known) *out += "[" + name + "]: [" + value + "]\n";
        return 0;
    }
    // An unknown property prints its default, else an empty line.
    const auto found = known.find(words[1]);
    *out += (found != known.end() ? found->second : words.size() > 2 ? words[2] : std::string()) + "\n";
    return 0;
}

// What readlink's -m, -f and -e want to exist.
enum class MustExist { Nothing, Parents, Everything };

// Where a path leads once the storage's links are followed; nullopt when
// what must exist does not.
std::optional<std::string> resolve(const Sandbox &sandbox, const std::string &path, MustExist need) {
    const PhonePath where = classifyPhonePath(path);
    if (where.kind != PhonePath::Kind::Storage) return where.normalized; // the phone's own tree, kept simple
    const std::string resolved = "/storage/emulated/0" + (where.relative.empty() ? "" : "/" + where.relative);
    if (where.relative.empty() || need == MustExist::Nothing) return resolved;
    const size_t slash = where.relative.rfind('/');
    const std::string parent = slash == std::string::npos ? "" : where.relative.substr(0, slash);
    const Stat2 folder = statPhonePath(sandbox, "/sdcard/" + parent, true);
    if (folder.error || !S_ISDIR(folder.mode)) return std::nullopt;
    if (need == MustExist::Everything && statPhonePath(sandbox, path, true).error) return std::nullopt;
    return resolved;
}

int readlink(const std::vector<std::string> &words, const ShellEnvironment &env, std::string *out) {
    std::string flags;
    size_t i = 1;
    for (; i < words.size() && words[i].size() > 1 && words[i][0] == '-'; ++i) {
        if (words[i] == "--") {
            ++i;
            break;
        }
        for (size_t k = 1; k < words[i].size(); ++k) {
            if (std::string("fenqmv").find(words[i][k]) == std::string::npos) {
                *out += "readlink: Unknown option '" + words[i].substr(k, 1) + "'\n";
                return 1;
            }
            flags += words[i][k];
        }
    }
    if (i + 1 != words.size()) {
        *out += "readlink: Needs 1 argument\n";
        return 1;
    }
    const std::string &path = words[i];
    auto has = [&](char flag) { return flags.find(flag) != std::string::npos; };
    std::optional<std::string> target;
    if (has('m') || has('f') || has('e')) {
        target = resolve(*env.sandbox, path, has('m') ? MustExist::Nothing : has('e') ? MustExist::Everything : MustExist::Parents);
    } else {
        const std::string n = normalizePhonePath(path);
        if (n == "/sdcard" && path.back() != '/') target = "/storage/self/primary";
        else if (n == "/storage/self/primary" && path.back() != '/') target = "/mnt/user/0/primary";
    }
    if (!target) return 1;
    *out += *target + (has('n') ? "" : "\n");
    return 0;
}

void recordScan(const ShellEnvironment &env, const std::string &kind, const std::string &path) {
    if (env.scanLog.empty()) return;
    const int fd = ::open(env.scanLog.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return;
    // One write, so lines of phones' concurrent shells never interleave.
    const std::string line = kind + "\t" + path + "\n";
    [[maybe_unused]] const ssize_t written = ::write(fd, line.data(), line.size());
    ::close(fd);
}

int contentFailure(std::string *out, const std::string &text) {
    *out += "usage: adb shell content [subcommand] [options]\n[ERROR] " + text + "\n";
    return 1;
}

// `content call --uri content://media --method scan_file --arg PATH`.
int content(const std::vector<std::string> &words, const ShellEnvironment &env, std::string *out) {
    if (words.size() < 2 || words[1] != "call") return contentFailure(out, "Unsupported operation: " + (words.size() < 2 ? "" : words[1]));
    std::map<std::string, std::string> arguments;
    for (size_t i = 2; i < words.size(); i += 2) {
        const std::string &name = words[i];
        if (name != "--uri" && name != "--method" && name != "--arg" && name != "--user")
            return contentFailure(out, "Unsupported argument: " + name);
        if (i + 1 >= words.size()) return contentFailure(out, "Argument expected after \"" + name + "\"");
        arguments[name] = words[i + 1];
    }
    if (!arguments.count("--uri")) return contentFailure(out, "Content provider URI not specified. Did you specify --uri argument?");
    if (!arguments.count("--method")) return contentFailure(out, "Content provider method not specified.");
    const std::string &uri = arguments["--uri"];
    const std::string authority = uri.rfind("content://", 0) == 0 ? uri.substr(10, uri.find('/', 10) - 10) : "";
    if (authority != "media") {
        *out += "Error while accessing provider:" + authority + "\njava.lang.IllegalArgumentException: Unknown authority " +
                authority + "\n";
        return 1;
    }
    const std::string &method = arguments["--method"];
    if (method != "scan_file" || !env.android.scansThroughContent()) {
        *out += "Error while accessing provider:media\njava.lang.UnsupportedOperationException: Unsupported call: " + method + "\n";
        return 1;
    }
    if (!arguments.count("--arg")) {
        *out += "Error while accessing provider:media\njava.lang.NullPointerException\n";
        return 1;
    }
    const std::string &path = arguments["--arg"];
    recordScan(env, "content", path);
    const Stat2 found = statPhonePath(*env.sandbox, path, true);
    *out += found.error ? std::string("Result: Bundle[{uri=null}]\n")
                        : "Result: Bundle[{uri=content://media/external/file/" + std::to_string(found.ino) + "}]\n";
    return 0;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The path of a file:// URI, its %XX escapes decoded; nullopt for another scheme.
std::optional<std::string> fileUriPath(const std::string &uri) {
    if (uri.rfind("file://", 0) != 0) return std::nullopt;
    const size_t pathStart = uri.find('/', 7);
    if (pathStart == std::string::npos) return std::string();
    std::string path;
    for (size_t i = pathStart; i < uri.size(); ++i) {
        const int high = uri[i] == '%' && i + 2 < uri.size() ? hexDigit(uri[i + 1]) : -1;
        const int low = high >= 0 ? hexDigit(uri[i + 2]) : -1;
        if (low >= 0) {
            path += char(high * 16 + low);
            i += 2;
        } else {
            path += uri[i];
        }
    }
    return path;
}

// `am broadcast -a ACTION -d DATA`: the scanner hears its broadcast only
// before Android 11; later phones take the command and ignore it.
int am(const std::vector<std::string> &words, const ShellEnvironment &env, std::string *out) {
    if (words.size() < 2 || words[1] != "broadcast") {
        *out += "Error: unknown command '" + (words.size() < 2 ? "" : words[1]) + "'\n";
        return 1;
    }
    std::string action, data;
    for (size_t i = 2; i < words.size(); i += 2) {
        const std::string &name = words[i];
        if (name != "-a" && name != "-d" && name != "-p" && name != "--user") {
            *out += "Error: Unknown option: " + name + "\n";
            return 1;
        }
        if (i + 1 >= words.size()) {
            *out += "Error: No argument for option " + name + "\n";
            return 1;
        }
        if (name == "-a") action = words[i + 1];
        else if (name == "-d") data = words[i + 1];
    }
    std::string intent = "Intent {";
    if (!action.empty()) intent += " act=" + action;
    if (!data.empty()) intent += " dat=" + data;
    // From Android 8, am sends its broadcasts in the foreground.
    if (env.android.sdk() >= 26) intent += " flg=0x400000";
    *out += "Broadcasting: " + intent + " }\nBroadcast completed: result=0\n";
    const auto path = fileUriPath(data);
    if (action == kScanAction && path && !env.android.scansThroughContent()) recordScan(env, "broadcast", *path);
    return 0;
}

} // namespace

bool isSystemCommand(const std::string &name) {
    return name == "getprop" || name == "readlink" || name == "content" || name == "am";
}

int runSystemCommand(const std::vector<std::string> &words, const ShellEnvironment &environment, std::string *out) {
    const std::string &name = words.front();
    if (name == "getprop") return getprop(words, environment, out);
    if (name == "readlink") return readlink(words, environment, out);
    if (name == "content") return content(words, environment, out);
    return am(words, environment, out);
}

} // namespace phonesim
