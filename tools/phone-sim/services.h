#pragma once

#include "tools/phone-sim/options.h"
#include "tools/phone-sim/sandbox.h"

#include <string>
#include <vector>

namespace phonesim {

class Stream;

// The sync file service ("sync:") over the served folder.
void runSyncService(Stream &stream, const Sandbox &sandbox, const AndroidVersion &android);

struct ShellEnvironment {
    const Sandbox *sandbox = nullptr;
    DfFigures df;
    std::string wifiAddress;
    AndroidVersion android;
    std::string model;
    std::string scanLog; // empty: scans are not recorded
};

// Runs a "shell:" command line the way the phone's shell would for the few
// commands it knows, and returns what it prints (output and errors merged).
std::string runShellCommand(const std::string &commandLine, const ShellEnvironment &environment);

// Runs an "exec:" command line: `dd` of a served file (raw bytes), else as
// the shell would; a trailing "2>/dev/null" keeps errors out of the output.
void runExecCommand(Stream &stream, const std::string &commandLine, const ShellEnvironment &environment);

// The commands of the phone's system rather than its files: getprop,
// readlink, and the two that ask the media index to scan a path (`content
// call ... scan_file` and `am broadcast`), each on the versions that have it.
// Returns the exit status; what they print goes to `out`.
int runSystemCommand(const std::vector<std::string> &words, const ShellEnvironment &environment, std::string *out);
bool isSystemCommand(const std::string &name);

// What `df -k /sdcard` prints on a phone.
std::string dfReport(const DfFigures &figures);
// What `ip -f inet addr show wlan0` prints; without an address, the error.
std::string wlanReport(const std::string &address);

} // namespace phonesim
