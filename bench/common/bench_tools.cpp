#include "bench/common/bench_tools.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>

#include <QDir>

#include <algorithm>
#include <chrono>
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <stdexcept>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace bench {

double secondsOf(const std::function<void()> &work) {
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e9;
}

double best(const std::vector<double> &values) { return *std::min_element(values.begin(), values.end()); }

namespace {

QByteArray runProcess(const QString &program, const QStringList &arguments, bool keepOutput) {
    QProcess process;
    if (!keepOutput) process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, arguments);
    if (!process.waitForFinished(600000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        throw std::runtime_error((program + ' ' + arguments.join(' ')).toStdString() + " failed: " +
                                 process.readAllStandardError().toStdString());
    }
    return keepOutput ? process.readAllStandardOutput() : QByteArray();
}

// Bytes a file takes on disk: a sparse one counts only what was written.
qint64 diskBytes(const struct stat &info) { return qint64(info.st_blocks) * 512; }

thread_local qint64 walkedBytes = 0;
int addFile(const char *, const struct stat *info, int type, FTW *) {
    if (type == FTW_F) walkedBytes += diskBytes(*info);
    return 0;
}

} // namespace

void run(const QString &program, const QStringList &arguments) { runProcess(program, arguments, false); }

QByteArray outputOf(const QString &program, const QStringList &arguments) {
    return runProcess(program, arguments, true);
}

QString linkProfile() {
    const QString profile = qEnvironmentVariable("DORVANE_BENCH_LINK", "none");
    if (!QStringList{"none", "usb2", "usb3", "wifi"}.contains(profile))
        throw std::runtime_error("DORVANE_BENCH_LINK wants none, usb2, usb3 or wifi, got " + profile.toStdString());
    return profile;
}

testsupport::PhoneSimOptions phoneOptions(const QString &folder) {
    testsupport::PhoneSimOptions options;
    options.folder = folder;
    options.model = "Bench_Phone";
    options.link = linkProfile();
    // An older phone speaks the older records: DORVANE_BENCH_ANDROID=7.
    options.android = qEnvironmentVariableIntValue("DORVANE_BENCH_ANDROID");
    return options;
}

int roundsOf(int argc, char **argv, int unshaped) {
    if (argc > 1) return std::max(1, QByteArray(argv[1]).toInt());
    return linkProfile() == "none" ? unshaped : 1;
}

void makeLargeFile(const QString &path, qint64 size, qint64 edge) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !file.resize(size)) throw std::runtime_error("cannot make " + path.toStdString());
    QByteArray bytes(edge, Qt::Uninitialized);
    for (qint64 i = 0; i < edge; ++i) bytes[i] = char(1 + i % 251);
    if (!file.seek(0) || file.write(bytes) != edge || !file.seek(size - edge) || file.write(bytes) != edge)
        throw std::runtime_error("cannot write " + path.toStdString());
}

void makeSmallFiles(const QString &folder, int count, qint64 size) {
    if (!QDir().mkpath(folder)) throw std::runtime_error("cannot make " + folder.toStdString());
    for (int index = 0; index < count; ++index) {
        QFile file(folder + QString("/small-%1.bin").arg(index, 3, 10, QChar('0')));
        const QByteArray bytes(size, char('a' + index % 26));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != size)
            throw std::runtime_error("cannot write " + file.fileName().toStdString());
    }
}

PeakSampler::PeakSampler(qint64 pid, const QString &folder)
    : pid_(pid), folder_(QFile::encodeName(folder)), thread_([this] {
          while (!stop_.load()) {
              sample();
              std::this_thread::sleep_for(std::chrono::milliseconds(10));
          }
      }) {}

PeakSampler::~PeakSampler() {
    stop_ = true;
    thread_.join();
}

void PeakSampler::sample() {
    QFile status(QString("/proc/%1/status").arg(pid_));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (!line.startsWith("VmRSS:")) continue;
            const qint64 bytes = line.mid(6).trimmed().split(' ').value(0).toLongLong() * 1024;
            if (bytes > peakResidentBytes_) peakResidentBytes_ = bytes;
        }
    }
    walkedBytes = 0;
    ::nftw(folder_.constData(), addFile, 16, FTW_PHYS);
    qint64 bytes = walkedBytes;
    // Files still open but no longer named in the folder keep their bytes too.
    const QByteArray fds = "/proc/" + QByteArray::number(pid_) + "/fd";
    if (DIR *dir = ::opendir(fds.constData())) {
        while (const dirent *entry = ::readdir(dir)) {
            char target[4096];
            const QByteArray link = fds + '/' + entry->d_name;
            const ssize_t n = ::readlink(link.constData(), target, sizeof target - 1);
            if (n <= 0) continue;
            const QByteArray name(target, n);
            struct stat info;
            if (name.startsWith(folder_ + '/') && name.endsWith(" (deleted)") && ::stat(link.constData(), &info) == 0)
                bytes += diskBytes(info);
        }
        ::closedir(dir);
    }
    if (bytes > peakFolderBytes_) peakFolderBytes_ = bytes;
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

double cpuSecondsOf(qint64 pid) {
    QFile stat(QString("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return 0;
    // The command name, in parentheses, may hold blanks: fields count from its end.
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    // utime and stime are fields 14 and 15, the 12th and 13th after the name.
    const double ticks = double(fields.value(11).toLongLong() + fields.value(12).toLongLong());
    return ticks / double(::sysconf(_SC_CLK_TCK));
}

MountingProgram::MountingProgram(const QString &program, const QStringList &arguments, const QString &mountPoint,
                                 const QProcessEnvironment &environment) {
    process_.setProcessEnvironment(environment);
    process_.start(program, arguments);
    for (int attempt = 0; attempt < 400 && !isMountPoint(mountPoint) && process_.state() != QProcess::NotRunning; ++attempt)
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    if (!isMountPoint(mountPoint)) throw std::runtime_error(QFileInfo(program).fileName().toStdString() + " did not mount");
}

namespace {

QProcessEnvironment withTemporaryFolder(const QString &folder) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("TMPDIR", folder);
    return environment;
}

} // namespace

MountedProvider::MountedProvider(const QString &serial, const QString &mountPoint, const QString &temporaryFolder, const QStringList &options)
    : MountingProgram(QStringLiteral(DORVANE_BIN_DIR "/VaneFileProvider"), QStringList{"--domain", serial, "--mountpoint", mountPoint} + options,
                      mountPoint, withTemporaryFolder(temporaryFolder)) {}

MountingProgram::~MountingProgram() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.terminate();
    if (!process_.waitForFinished(15000)) process_.kill(), process_.waitForFinished();
}

} // namespace bench
