#pragma once

#include <QString>
#include <QStringList>

#include <chrono>

namespace testsupport {

// The real adb tool that tests drive.
QString adbTool();

// The adb server's device list is global to the machine, so test programs
// that use it take one machine-wide lock (held until the program exits).
// startAdbServer() takes it too.
void lockAdbServer();

// Takes the lock and makes sure the real adb server answers on 127.0.0.1:5037.
void startAdbServer();

// Runs the real adb tool synchronously; stdout and stderr merged.
struct AdbResult {
    int exitCode = -1;
    QString output;
};
AdbResult runAdb(const QStringList &arguments, std::chrono::milliseconds limit = std::chrono::seconds(30));

// The adb tool's major version ("Version 34.0.5-debian" gives 34); 0 when unknown.
int adbMajorVersion();

// The state word that `adb devices` shows for `serial`, or empty when unlisted.
QString listedState(const QString &serial);

// Polls `adb devices` until `serial` shows `state` ("" means: not listed).
bool waitForListedState(const QString &serial, const QString &state,
                        std::chrono::milliseconds limit = std::chrono::seconds(15));

} // namespace testsupport
