#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QCoro/QCoroTask>

#include <chrono>

// What a finished child left behind. A child killed by a signal has a
// non-zero `exitCode`.
struct ChildOutput {
    int exitCode = 0;
    // It ran past its time limit and was killed.
    bool timedOut = false;
    QByteArray standardOutput;
    QByteArray standardError;
};

// Runs `program` with `arguments` (no shell; environment and working folder
// inherited; stdout and stderr on separate pipes, drained while it runs so a
// chatty child never stalls) and resumes once it has exited, or once it was
// killed for running past `limit`. Throws ProcessLaunchError when it cannot
// be started.
QCoro::Task<ChildOutput> runChildProcess(QString program, QStringList arguments, std::chrono::milliseconds limit);
