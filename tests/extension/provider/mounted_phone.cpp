#include "tests/extension/provider/mounted_phone.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <sys/mount.h>
#include <sys/stat.h>
#include <thread>

namespace {

QString providerProgram() { return QStringLiteral(DORVANE_BIN_DIR "/VaneFileProvider"); }

} // namespace

bool isMountPoint(const QString &path) {
    QFile mounts("/proc/self/mountinfo");
    if (!mounts.open(QIODevice::ReadOnly)) return false;
    const QByteArray wanted = ' ' + QDir(path).absolutePath().toUtf8() + ' ';
    for (const QByteArray &line : mounts.readAll().split('\n')) {
        if (line.contains(wanted)) return true;
    }
    return false;
}

ProgramRun runProgram(const QString &program, const QStringList &arguments, int timeoutSeconds) {
    QProcess process;
    process.start(program, arguments);
    ProgramRun run;
    if (!process.waitForFinished(timeoutSeconds * 1000)) {
        process.kill();
        process.waitForFinished();
        run.errors = QStringLiteral("did not finish in time");
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.output = QString::fromUtf8(process.readAllStandardOutput());
    run.errors = QString::fromUtf8(process.readAllStandardError());
    return run;
}

MountedPhone::MountedPhone(testsupport::PhoneSimOptions options, const QString &temporaryFolder)
    : temporaryPath_(temporaryFolder.isEmpty() ? temporaryFolder_.path() : temporaryFolder) {
    options.folder = phoneFolder_.path();
    options_ = options;
    phone_ = std::make_unique<testsupport::PhoneSim>(options);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("TMPDIR", temporaryPath_);
    provider_.setProcessEnvironment(environment);
    logPath_ = logFolder_.file("provider.log");
    provider_.setStandardErrorFile(logPath_);
    // The domain identifier the app makes of the serial.
    QString domain = phone_->serial();
    domain.replace(".", "-DOT-").replace(":", "-COLON-");
    provider_.start(providerProgram(), {"--domain", domain, "--mountpoint", mountFolder_.path()});
    if (!provider_.waitForStarted()) throw std::runtime_error("VaneFileProvider did not start");
    for (int attempt = 0; attempt < 200 && !isMountPoint(mountFolder_.path()); ++attempt) {
        if (provider_.state() == QProcess::NotRunning) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    if (!isMountPoint(mountFolder_.path())) {
        provider_.kill();
        provider_.waitForFinished();
        throw std::runtime_error("VaneFileProvider did not mount: " + log().toStdString());
    }
}

MountedPhone::~MountedPhone() {
    if (!unmounted_) {
        EXPECT_TRUE(unmount()) << qPrintable(log());
    }
}

QString MountedPhone::mounted(const QString &relative) const {
    return relative.isEmpty() ? mountFolder_.path() : mountFolder_.path() + u'/' + relative;
}

QStringList MountedPhone::downloadedCopies() const {
    QStringList copies;
    for (const QFileInfo &privateFolder : QDir(temporaryPath_).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        for (const QString &copy : QDir(privateFolder.filePath() + "/vane-fetch").entryList(QDir::Files)) copies.append(copy);
    }
    return copies;
}

qint64 MountedPhone::localBytes() const {
    qint64 total = 0;
    QDirIterator files(temporaryFolder_.path(), QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        struct stat attributes{};
        if (::lstat(QFile::encodeName(files.next()).constData(), &attributes) == 0) total += qint64(attributes.st_blocks) * 512;
    }
    return total;
}

void MountedPhone::restartPhone() {
    ::kill(pid_t(phone_->pid()), SIGKILL);
    options_.port = phone_->port();
    phone_->stop();
    phone_ = std::make_unique<testsupport::PhoneSim>(options_);
}

QString MountedPhone::log() const {
    QFile file(logPath_);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll());
}

bool MountedPhone::unmount() {
    unmounted_ = true;
    if (provider_.state() != QProcess::NotRunning) provider_.terminate();
    const bool ended = provider_.state() == QProcess::NotRunning || provider_.waitForFinished(15000);
    if (!ended) {
        provider_.kill();
        provider_.waitForFinished();
    }
    const bool clean = ended && provider_.exitStatus() == QProcess::NormalExit && provider_.exitCode() == 0;
    const bool stillMounted = isMountPoint(mountFolder_.path());
    if (stillMounted) runProgram("umount", {"-l", mountFolder_.path()});
    // The program's private temporary folder goes with it.
    const bool leftovers = !QDir(temporaryPath_).isEmpty();
    phone_.reset();
    return clean && !stillMounted && !leftovers;
}

SmallTemporaryFolder::SmallTemporaryFolder(qint64 bytes) {
    const QByteArray options = "size=" + QByteArray::number(bytes);
    mounted_ = ::mount("tmpfs", QFile::encodeName(folder_.path()).constData(), "tmpfs", 0, options.constData()) == 0;
}

SmallTemporaryFolder::~SmallTemporaryFolder() {
    if (mounted_) ::umount2(QFile::encodeName(folder_.path()).constData(), MNT_DETACH);
}
