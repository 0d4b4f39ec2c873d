#include "tests/support/adb_server.h"

#include "app/adb/pairing_report_reader.h"

#include <QFile>
#include <QProcess>
#include <QThread>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <stdexcept>

namespace testsupport {

QString adbTool() { return QStringLiteral("/usr/bin/adb"); }

void lockAdbServer() {
    // Kept open for the life of the process: the kernel drops the lock at exit.
    static const int fd = [] {
        const int descriptor = ::open("/tmp/dorvane-adb-tests.lock", O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (descriptor >= 0) ::flock(descriptor, LOCK_EX);
        return descriptor;
    }();
    (void)fd;
}

AdbResult runAdb(const QStringList &arguments, std::chrono::milliseconds limit) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(adbTool(), arguments);
    AdbResult result;
    if (!process.waitForStarted(int(limit.count()))) return result;
    if (!process.waitForFinished(int(limit.count()))) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.output = QString::fromUtf8(process.readAll());
    return result;
}

void startAdbServer() {
    lockAdbServer();
    const auto result = runAdb({"start-server"});
    if (result.exitCode != 0) throw std::runtime_error("adb start-server failed: " + result.output.toStdString());
}

int adbMajorVersion() { return readAdbRelease(runAdb({"version"}).output).value_or(0); }

QString listedState(const QString &serial) {
    const auto result = runAdb({"devices"});
    for (const QString &line : result.output.split('\n')) {
        const QStringList fields = line.split('\t');
        if (fields.size() >= 2 && fields[0] == serial) return fields[1].trimmed();
    }
    return {};
}

bool waitForListedState(const QString &serial, const QString &state, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (listedState(serial) != state) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        QThread::msleep(50);
    }
    return true;
}

} // namespace testsupport
