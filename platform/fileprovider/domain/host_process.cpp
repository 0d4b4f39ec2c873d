#include "platform/fileprovider/domain/host_process.h"

#include <QFile>
#include <QCoro/QCoroTimer>

#include <csignal>

namespace {

constexpr std::chrono::milliseconds pollStep(20);

bool signalHost(qint64 pid, quint64 startTime, int signal) {
    if (!isHostRunning(pid, startTime)) return false;
    return ::kill(pid_t(pid), signal) == 0;
}

QCoro::Task<bool> waitUntilEnded(qint64 pid, quint64 startTime, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (isHostRunning(pid, startTime)) {
        if (std::chrono::steady_clock::now() >= deadline) co_return false;
        co_await QCoro::sleepFor(pollStep);
    }
    co_return true;
}

} // namespace

std::optional<ProcessStat> parseProcessStat(const QByteArray &text) {
    const qsizetype nameEnd = text.lastIndexOf(')');
    if (nameEnd < 0) return std::nullopt;
    const QList<QByteArray> fields = text.mid(nameEnd + 1).simplified().split(' ');
    // fields[0] is the state (field 3 of the line), fields[19] the start time (field 22).
    if (fields.size() < 20 || fields[0].size() != 1) return std::nullopt;
    bool ok = false;
    const quint64 startTime = fields[19].toULongLong(&ok);
    if (!ok) return std::nullopt;
    return ProcessStat{fields[0][0], startTime};
}

std::optional<ProcessStat> readProcessStat(qint64 pid) {
    if (pid <= 0) return std::nullopt;
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    return parseProcessStat(file.readAll());
}

bool isHostRunning(qint64 pid, quint64 startTime) {
    const std::optional<ProcessStat> stat = readProcessStat(pid);
    if (!stat || stat->state == 'Z' || stat->state == 'X' || stat->state == 'x') return false;
    return stat->startTime == startTime;
}

// Results of co_await are kept in variables, never used inside a condition or
// next to temporaries: GCC 12 miscompiles both.
QCoro::Task<> endHost(qint64 pid, quint64 startTime, std::chrono::milliseconds grace) {
    if (!signalHost(pid, startTime, SIGTERM)) co_return;
    const bool endedOnRequest = co_await waitUntilEnded(pid, startTime, grace);
    if (endedOnRequest) co_return;
    signalHost(pid, startTime, SIGKILL);
    const std::chrono::milliseconds killLimit = std::chrono::seconds(2);
    co_await waitUntilEnded(pid, startTime, killLimit);
}
