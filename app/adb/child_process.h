#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QCoro/QCoroTask>

// What a finished child left behind. A child killed by a signal has a
// non-zero `exitCode`.
struct ChildOutput {
    int exitCode = 0;
    QByteArray standardOutput;
    QByteArray standardError;
};

// Runs `program` with `arguments` (no shell; environment and working folder
// inherited; stdout and stderr on separate pipes, drained while it runs so a
// chatty child never stalls) and resumes once it has exited. Throws
// ProcessLaunchError when it cannot be started.
QCoro::Task<ChildOutput> runChildProcess(QString program, QStringList arguments);
