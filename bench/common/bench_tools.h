#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

// What the benchmarks share: timing, running commands, reading memory, and a
// phone mounted by the real VaneFileProvider.
namespace bench {

double secondsOf(const std::function<void()> &work);
double best(const std::vector<double> &values);

// Runs a program to its end; throws with its error output when it fails.
void run(const QString &program, const QStringList &arguments);

bool isMountPoint(const QString &path);

// The peak resident size the kernel keeps for a process, in KiB; -1 if unknown.
qint64 peakResidentKib(qint64 pid);

// VaneFileProvider serving `serial` at `mountPoint`, its downloads under
// `temporaryFolder`. Mounted when the constructor returns (or it throws);
// ended and waited for when the value goes away.
class MountedProvider {
public:
    MountedProvider(const QString &serial, const QString &mountPoint, const QString &temporaryFolder);
    ~MountedProvider();
    MountedProvider(const MountedProvider &) = delete;
    MountedProvider &operator=(const MountedProvider &) = delete;

    qint64 pid() const { return process_.processId(); }

private:
    QProcess process_;
};

} // namespace bench
