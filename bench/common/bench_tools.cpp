#include "bench/common/bench_tools.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcessEnvironment>

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <thread>

namespace bench {

double secondsOf(const std::function<void()> &work) {
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e9;
}

double best(const std::vector<double> &values) { return *std::min_element(values.begin(), values.end()); }

void run(const QString &program, const QStringList &arguments) {
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, arguments);
    if (!process.waitForFinished(600000) || process.exitCode() != 0) {
        throw std::runtime_error((program + ' ' + arguments.join(' ')).toStdString() + " failed: " +
                                 process.readAllStandardError().toStdString());
    }
}

bool isMountPoint(const QString &path) {
    QFile mounts("/proc/self/mountinfo");
    return mounts.open(QIODevice::ReadOnly) && mounts.readAll().contains(' ' + path.toUtf8() + ' ');
}

qint64 peakResidentKib(qint64 pid) {
    QFile status(QString("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

MountedProvider::MountedProvider(const QString &serial, const QString &mountPoint, const QString &temporaryFolder) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("TMPDIR", temporaryFolder);
    process_.setProcessEnvironment(environment);
    process_.start(QStringLiteral(DORVANE_BIN_DIR "/VaneFileProvider"), {"--domain", serial, "--mountpoint", mountPoint});
    for (int attempt = 0; attempt < 400 && !isMountPoint(mountPoint); ++attempt)
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    if (!isMountPoint(mountPoint)) throw std::runtime_error("VaneFileProvider did not mount");
}

MountedProvider::~MountedProvider() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.terminate();
    if (!process_.waitForFinished(15000)) process_.kill(), process_.waitForFinished();
}

} // namespace bench
