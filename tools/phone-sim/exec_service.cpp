// The "exec:" service: a command's raw output, with no terminal. Of its
// commands only dd reads files; the rest are the shell's.
#include "tools/phone-sim/services.h"
#include "tools/phone-sim/shell_words.h"
#include "tools/phone-sim/transport.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

namespace phonesim {

namespace {

constexpr std::string_view discardErrors = "2>/dev/null";
constexpr unsigned long long largestBlock = 16ULL << 20;

// A dd number: digits with an optional k, m or g (binary, as toybox reads them).
bool readCount(const std::string &text, unsigned long long *value) {
    if (text.empty() || text[0] < '0' || text[0] > '9') return false;
    char *end = nullptr;
    errno = 0;
    unsigned long long number = std::strtoull(text.c_str(), &end, 10);
    if (errno != 0) return false;
    const std::string suffix(end);
    if (suffix == "k" || suffix == "K") number <<= 10;
    else if (suffix == "m" || suffix == "M") number <<= 20;
    else if (suffix == "g" || suffix == "G") number <<= 30;
    else if (!suffix.empty()) return false;
    *value = number;
    return true;
}

struct Closer {
    int fd;
    ~Closer() {
        if (fd >= 0) ::close(fd);
    }
};

// `dd if=PATH bs=N skip=N count=N`: the blocks asked for, fewer at the end
// of the file; the errors go to `errors` as a phone's toybox words them.
void runDd(Stream &stream, const std::vector<std::string> &words, const Sandbox &sandbox, std::string *errors) {
    std::string input;
    unsigned long long block = 512, skip = 0, count = 0;
    bool counted = false;
    for (size_t index = 1; index < words.size(); ++index) {
        const std::string &word = words[index];
        const size_t equals = word.find('=');
        const std::string key = word.substr(0, equals), value = equals == std::string::npos ? "" : word.substr(equals + 1);
        bool ok = equals != std::string::npos;
        if (key == "if") input = value;
        else if (key == "bs") ok = ok && readCount(value, &block) && block > 0 && block <= largestBlock;
        else if (key == "skip") ok = ok && readCount(value, &skip);
        else if (key == "count") ok = ok && (counted = readCount(value, &count));
        else ok = false;
        if (!ok) {
            *errors += "dd: bad argument '" + word + "'\n";
            return;
        }
    }
    const PhonePath where = classifyPhonePath(input);
    int error = 0;
    Closer file{-1};
    if (input.empty()) error = EINVAL;
    else if (where.kind == PhonePath::Kind::Ancestor) error = EISDIR;
    else if (where.kind != PhonePath::Kind::Storage || !sandbox.staysInside(where.relative, true)) error = EACCES;
    else if ((file.fd = ::open(sandbox.hostPath(where.relative).c_str(), O_RDONLY | O_CLOEXEC)) < 0) error = errno;
    struct stat attributes{};
    if (!error && ::fstat(file.fd, &attributes) == 0 && S_ISDIR(attributes.st_mode)) error = EISDIR;
    if (error) {
        *errors += "dd: " + input + ": " + std::strerror(error) + "\n";
        return;
    }
    std::unique_ptr<char[]> buffer(new char[block]);
    for (unsigned long long index = 0; !counted || index < count; ++index) {
        const off_t at = off_t((skip + index) * block);
        size_t filled = 0;
        while (filled < block) {
            const ssize_t got = ::pread(file.fd, buffer.get() + filled, block - filled, at + off_t(filled));
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) {
                *errors += "dd: " + input + ": " + std::strerror(errno) + "\n";
                return;
            }
            if (got == 0) break;
            filled += size_t(got);
        }
        if (filled > 0 && !stream.write(buffer.get(), filled)) return;
        if (filled < block) break;
    }
}

} // namespace

void runExecCommand(Stream &stream, const std::string &commandLine, const ShellEnvironment &environment) {
    std::string command = commandLine;
    // The one redirection data commands need: their errors kept out of the data.
    bool errorsDiscarded = false;
    const size_t tail = command.find_last_not_of(' ');
    if (tail != std::string::npos && tail + 1 >= discardErrors.size() &&
        command.compare(tail + 1 - discardErrors.size(), discardErrors.size(), discardErrors) == 0) {
        command.erase(tail + 1 - discardErrors.size());
        errorsDiscarded = true;
    }
    std::string syntaxError;
    const std::vector<std::string> words = splitWords(command, &syntaxError);
    std::string errors;
    if (!syntaxError.empty()) {
        errors = "/system/bin/sh: " + syntaxError + "\n";
    } else if (!words.empty() && words.front() == "dd") {
        runDd(stream, words, *environment.sandbox, &errors);
    } else {
        stream.write(runShellCommand(command, environment));
    }
    if (!errorsDiscarded && !errors.empty()) stream.write(errors);
}

} // namespace phonesim
