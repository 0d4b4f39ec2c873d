#pragma once

#include <QByteArray>

#include <chrono>
#include <optional>

#include <QCoro/QCoroTask>

// What /proc/PID/stat tells about a process.
struct ProcessStat {
    char state = '?';       // R, S, D, Z, X, ...
    quint64 startTime = 0;  // clock ticks after boot
};

// Reads the text of /proc/PID/stat; the command name may hold blanks and ")".
std::optional<ProcessStat> parseProcessStat(const QByteArray &text);
std::optional<ProcessStat> readProcessStat(qint64 pid);

// A host started detached is nobody's child, so it is known by pid and
// start time; a reused pid or a zombie does not count as running.
bool isHostRunning(qint64 pid, quint64 startTime);

// SIGTERM, then SIGKILL after `grace`; returns once the host no longer runs
// (or after a last short wait). Does nothing for a host that is not running.
QCoro::Task<> endHost(qint64 pid, quint64 startTime, std::chrono::milliseconds grace);
