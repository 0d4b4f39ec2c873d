#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include "tests/support/phone_sim.h"

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

// What the benchmarks share: timing, running commands, reading memory, and a
// phone mounted by the real VaneFileProvider.
namespace bench {

double secondsOf(const std::function<void()> &work);
double best(const std::vector<double> &values);

// Runs a program to its end; throws with its error output when it fails.
void run(const QString &program, const QStringList &arguments);

// Runs a program to its end and returns its standard output; throws like run().
QByteArray outputOf(const QString &program, const QStringList &arguments);

bool isMountPoint(const QString &path);

// The link the emulated phone shapes, from DORVANE_BENCH_LINK (bench/run sets
// it): none, usb2, usb3 or wifi.
QString linkProfile();
// The emulated phone of every benchmark, behind that link, playing the
// Android version DORVANE_BENCH_ANDROID names (the default: a current one).
testsupport::PhoneSimOptions phoneOptions(const QString &folder);
// Rounds from the first argument; otherwise `unshaped`, or one round behind a
// slow link, where the link's own pace leaves little to vary.
int roundsOf(int argc, char **argv, int unshaped);

// A large file made in no time: sparse, with data at its head and its tail
// (`edge` bytes each, never zero) so a read at a wrong offset shows.
void makeLargeFile(const QString &path, qint64 size, qint64 edge);
// `count` files of `size` bytes each in a new folder.
void makeSmallFiles(const QString &folder, int count, qint64 size);

// The peak resident size the kernel keeps for a process, in KiB; -1 if unknown.
qint64 peakResidentKib(qint64 pid);
// The processor time a process has used so far, user and system, in seconds.
double cpuSecondsOf(qint64 pid);

// Samples a process's resident memory and the bytes kept in a folder
// (files there, and files of the process's that were there before being
// deleted) while the value lives.
class PeakSampler {
public:
    PeakSampler(qint64 pid, const QString &folder);
    ~PeakSampler();
    PeakSampler(const PeakSampler &) = delete;
    PeakSampler &operator=(const PeakSampler &) = delete;

    // Peaks so far, in MB of 10^6 bytes.
    double residentMB() const { return double(peakResidentBytes_.load()) / 1e6; }
    double folderMB() const { return double(peakFolderBytes_.load()) / 1e6; }

private:
    void sample();

    const qint64 pid_;
    const QByteArray folder_;
    std::atomic<qint64> peakResidentBytes_{0};
    std::atomic<qint64> peakFolderBytes_{0};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// A program that serves a mount at `mountPoint`: mounted when the
// constructor returns (or it throws); ended with SIGTERM, which unmounts,
// and waited for when the value goes away.
class MountingProgram {
public:
    MountingProgram(const QString &program, const QStringList &arguments, const QString &mountPoint,
                    const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());
    ~MountingProgram();
    MountingProgram(const MountingProgram &) = delete;
    MountingProgram &operator=(const MountingProgram &) = delete;

    qint64 pid() const { return process_.processId(); }

private:
    QProcess process_;
};

// VaneFileProvider serving `serial` at `mountPoint`, its downloads under
// `temporaryFolder`.
class MountedProvider : public MountingProgram {
public:
    MountedProvider(const QString &serial, const QString &mountPoint, const QString &temporaryFolder, const QStringList &options = {});
};

} // namespace bench
