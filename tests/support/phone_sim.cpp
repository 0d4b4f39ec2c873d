#include "tests/support/phone_sim.h"

#include "tests/support/adb_server.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace testsupport {

struct PhoneSim::State {
    PhoneSimOptions options;
    QString serial;
    quint16 port = 0;
    pid_t pid = -1;
    int stdinWrite = -1; // the program ends when this closes, even if the test dies
    QString errorLog;    // the program's standard error
    QString scanLog;     // the scans it records; goes with the value
    bool stopped = false;
    WirelessDebuggingScreen wireless;
    ~State() {
        if (!scanLog.isEmpty()) QFile::remove(scanLog);
    }
};

namespace {

std::string attachWord(Attach attach) {
    switch (attach) {
    case Attach::Cable: return "cable";
    case Attach::Wifi: return "wifi";
    case Attach::None:
    case Attach::Paired: return "none";
    }
    return "none";
}

QString readErrorLog(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.read(256 * 1024)).trimmed();
}

// Waits for the child for up to `limit`; true when it was reaped.
bool reap(pid_t pid, std::chrono::milliseconds limit, int *status) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        const pid_t got = ::waitpid(pid, status, WNOHANG);
        if (got == pid || (got < 0 && errno == ECHILD)) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

// Reads one line from `fd` within `limit`; false at the end of the stream or
// on time-out.
bool readLine(int fd, std::string *line, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    line->clear();
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, int(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) continue;
        char c;
        const ssize_t n = ::read(fd, &c, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        if (c == '\n') return true;
        line->push_back(c);
    }
}

bool isTcpSerial(const QString &serial) { return serial.contains(':'); }

// Serials among `serials` that `adb devices` lists, in any state.
QStringList listedAmong(const QStringList &serials) {
    QStringList listed;
    const auto result = runAdb({"devices"});
    for (const QString &line : result.output.split('\n')) {
        const QStringList fields = line.split('\t');
        if (fields.size() >= 2 && serials.contains(fields[0])) listed << fields[0];
    }
    return listed;
}

} // namespace

PhoneSim::PhoneSim(PhoneSimOptions options) : state_(std::make_unique<State>()) {
    state_->options = std::move(options);
    const PhoneSimOptions &o = state_->options;
    if (o.folder.isEmpty()) throw std::runtime_error("PhoneSim: no folder given");
    startAdbServer();

    const std::string program = DORVANE_BIN_DIR "/dorvane-phone-sim";
    std::vector<std::string> arguments = {program, "--folder", o.folder.toStdString(), "--port", std::to_string(o.port),
                                          "--model", o.model.toStdString(), "--attach", attachWord(o.attach),
                                          "--watch-stdin"};
    if (!o.wifiAddress.isEmpty()) arguments.insert(arguments.end(), {"--wifi-address", o.wifiAddress.toStdString()});
    if (!o.df.isEmpty()) arguments.insert(arguments.end(), {"--df", o.df.toStdString()});
    if (!o.link.isEmpty()) arguments.insert(arguments.end(), {"--link", o.link.toStdString()});
    for (const QString &folder : o.readOnlyFolders) arguments.insert(arguments.end(), {"--readonly", folder.toStdString()});
    if (o.android != 0) arguments.insert(arguments.end(), {"--android", std::to_string(o.android)});
    if (o.wirelessDebugging || o.attach == Attach::Paired) arguments.push_back("--wireless-debugging");
    char scanTemplate[] = "/tmp/dorvane-phone-sim-scans-XXXXXX";
    const int scanFd = ::mkostemp(scanTemplate, O_CLOEXEC);
    if (scanFd < 0) throw std::runtime_error("PhoneSim: cannot make a scan log");
    ::close(scanFd);
    state_->scanLog = QString::fromLocal8Bit(scanTemplate);
    arguments.insert(arguments.end(), {"--scan-log", scanTemplate});

    char logTemplate[] = "/tmp/dorvane-phone-sim-XXXXXX";
    const int logFd = ::mkostemp(logTemplate, O_CLOEXEC);
    if (logFd < 0) throw std::runtime_error("PhoneSim: cannot make a log file");
    state_->errorLog = QString::fromLocal8Bit(logTemplate);
    int input[2], output[2];
    if (::pipe2(input, O_CLOEXEC) != 0 || ::pipe2(output, O_CLOEXEC) != 0) {
        ::close(logFd);
        throw std::runtime_error("PhoneSim: cannot make pipes");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, logFd, STDERR_FILENO);
    std::vector<char *> argv;
    for (auto &argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(input[0]);
    ::close(output[1]);
    ::close(logFd);
    if (spawned != 0) {
        ::close(input[1]);
        ::close(output[0]);
        QFile::remove(state_->errorLog);
        throw std::runtime_error("PhoneSim: cannot start " + program + ": " + std::strerror(spawned));
    }
    state_->pid = pid;
    state_->stdinWrite = input[1];

    std::string line;
    bool gotLine = readLine(output[0], &line, std::chrono::seconds(30));
    // Then "NAME VALUE" lines for Wireless debugging.
    for (int index = 0; gotLine && (o.wirelessDebugging || o.attach == Attach::Paired) && index < 3; ++index) {
        std::string shown;
        gotLine = readLine(output[0], &shown, std::chrono::seconds(5));
        const QString text = QString::fromStdString(shown);
        const QString value = text.section(' ', 1);
        if (text.startsWith("pairing-code ")) state_->wireless.pairingCode = value;
        else if (text.startsWith("pairing-address ")) state_->wireless.pairingAddress = value;
        else if (text.startsWith("connect-address ")) state_->wireless.connectAddress = value;
    }
    ::close(output[0]);
    if (!gotLine || line.empty()) {
        int status = 0;
        const bool ended = reap(pid, std::chrono::milliseconds(gotLine ? 0 : 200), &status);
        if (ended) state_->pid = -1;
        const QString log = readErrorLog(state_->errorLog);
        QFile::remove(state_->errorLog); // told in the exception
        state_->errorLog.clear();
        stop();
        throw std::runtime_error("PhoneSim: dorvane-phone-sim " +
                                 std::string(ended ? "ended before it printed its serial" : "printed no serial in time") +
                                 (log.isEmpty() ? std::string() : ": " + log.toStdString()));
    }
    state_->serial = QString::fromStdString(line);
    if (isTcpSerial(state_->serial)) state_->port = quint16(state_->serial.section(':', -1).toUInt());
    else if (state_->serial.startsWith("emulator-")) state_->port = quint16(state_->serial.mid(9).toUInt() + 1);

    if (o.attach == Attach::Paired) {
        const WirelessDebuggingScreen &screen = state_->wireless;
        runAdb({"pair", screen.pairingAddress, screen.pairingCode});
        runAdb({"connect", screen.connectAddress});
        state_->serial = screen.connectAddress;
    }
    if (o.attach != Attach::None && !waitForListedState(state_->serial, "device")) {
        const QString shown = listedState(state_->serial);
        const QString log = readErrorLog(state_->errorLog);
        QFile::remove(state_->errorLog); // told in the exception
        state_->errorLog.clear();
        stop();
        throw std::runtime_error("PhoneSim: the adb server does not list " + state_->serial.toStdString() + " as device (" +
                                 (shown.isEmpty() ? std::string("not listed") : "listed as " + shown.toStdString()) + ")" +
                                 (log.isEmpty() ? std::string() : "; the program said: " + log.toStdString()));
    }
}

PhoneSim::~PhoneSim() {
    try {
        stop();
    } catch (...) {
    }
}

const QString &PhoneSim::serial() const { return state_->serial; }
quint16 PhoneSim::port() const { return state_->port; }
const QString &PhoneSim::folder() const { return state_->options.folder; }
qint64 PhoneSim::pid() const { return state_->pid; }

const WirelessDebuggingScreen &PhoneSim::wirelessDebugging() const { return state_->wireless; }

QStringList PhoneSim::scans() const {
    QFile file(state_->scanLog);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split('\n');
    lines.removeLast(); // after the last line's end
    return lines;
}

void PhoneSim::stop() {
    if (state_->stopped) return;
    state_->stopped = true;
    if (state_->pid > 0) {
        ::kill(state_->pid, SIGTERM);
        int status = 0;
        if (!reap(state_->pid, std::chrono::seconds(10), &status)) {
            ::kill(state_->pid, SIGKILL);
            reap(state_->pid, std::chrono::seconds(5), &status);
        }
        state_->pid = -1;
    }
    if (state_->stdinWrite >= 0) {
        ::close(state_->stdinWrite);
        state_->stdinWrite = -1;
    }
    if (!state_->errorLog.isEmpty()) {
        // Whatever the program said (a sanitizer's report, say) must not be lost.
        const QString log = readErrorLog(state_->errorLog);
        if (!log.isEmpty())
            std::fprintf(stderr, "dorvane-phone-sim %s said:\n%s\n", state_->serial.toLocal8Bit().constData(),
                         log.toLocal8Bit().constData());
        QFile::remove(state_->errorLog);
        state_->errorLog.clear();
    }

    // The program detaches itself; the server may still hold its serials for
    // a moment (a TCP one it would even try to reach again).
    QStringList serials;
    if (!state_->serial.isEmpty() && state_->options.attach != Attach::None) serials << state_->serial;
    if (!state_->options.wifiAddress.isEmpty()) serials << state_->options.wifiAddress + ":5555";
    if (!state_->wireless.connectAddress.isEmpty() && !serials.contains(state_->wireless.connectAddress))
        serials << state_->wireless.connectAddress;
    if (serials.isEmpty()) return;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    for (int round = 0;; ++round) {
        const QStringList listed = listedAmong(serials);
        if (listed.isEmpty()) return;
        for (const QString &serial : listed)
            if (isTcpSerial(serial)) runAdb({"disconnect", serial});
        if (std::chrono::steady_clock::now() > deadline) return;
        if (round > 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

} // namespace testsupport
