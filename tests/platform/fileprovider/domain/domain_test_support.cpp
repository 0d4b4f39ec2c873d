#include "tests/platform/fileprovider/domain/domain_test_support.h"

#include "platform/fileprovider/domain/mount_table.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace domaintest {

QString fuseUnusableReason() {
    const int device = ::open("/dev/fuse", O_RDWR | O_CLOEXEC);
    if (device < 0) return QStringLiteral("/dev/fuse cannot be opened");
    ::close(device);
    if (::geteuid() != 0 && QStandardPaths::findExecutable(QStringLiteral("fusermount3")).isEmpty()) {
        return QStringLiteral("fusermount3 is not installed");
    }
    return {};
}

QString standInProgram() { return QStringLiteral(STAND_IN_PROVIDER); }

void adoptOrphans() { ::prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0); }

bool processEnded(qint64 pid) {
    int status = 0;
    ::waitpid(pid_t(pid), &status, WNOHANG);
    const QString stat = QStringLiteral("/proc/%1/stat").arg(pid);
    QFile file(stat);
    if (!file.open(QIODevice::ReadOnly)) return true;
    const QByteArray text = file.readAll();
    const qsizetype nameEnd = text.lastIndexOf(')');
    return nameEnd >= 0 && nameEnd + 2 < text.size() && (text[nameEnd + 2] == 'Z' || text[nameEnd + 2] == 'X');
}

ScopedVariable::ScopedVariable(const char *name, const QString &value) : name_(name) {
    if (qEnvironmentVariableIsSet(name)) previous_ = qgetenv(name);
    qputenv(name, value.toLocal8Bit());
}

ScopedVariable::~ScopedVariable() {
    if (previous_) {
        qputenv(name_.constData(), *previous_);
    } else {
        qunsetenv(name_.constData());
    }
}

DomainSandbox::DomainSandbox()
    : runtimeVariable_("XDG_RUNTIME_DIR", runtime_.path()), mountRootVariable_("DORVANE_MOUNT_ROOT", mountRoot_.path()) {}

DomainSandbox::~DomainSandbox() {
    const FileProviderManager manager(settings());
    for (const DomainRecord &record : manager.records()) {
        if (record.pid > 0 && !processEnded(record.pid)) ::kill(pid_t(record.pid), SIGKILL);
    }
    const QString root = QFileInfo(mountRoot_.path()).canonicalFilePath();
    for (const MountEntry &mount : currentMounts()) {
        if (mount.mountPoint.startsWith(root + QLatin1Char('/'))) {
            QProcess::execute(QStringLiteral("fusermount3"), {QStringLiteral("-u"), QStringLiteral("-z"), mount.mountPoint});
        }
    }
}

FileProviderManager::Settings DomainSandbox::settings(const QString &program) const {
    FileProviderManager::Settings settings = FileProviderManager::defaultSettings();
    settings.hostProgram = program;
    return settings;
}

QStringList DomainSandbox::leftovers() const {
    QStringList found;
    QDirIterator records(runtime_.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (records.hasNext()) found.append(QStringLiteral("record file ") + records.next());
    for (const QString &name : QDir(mountRoot_.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)) {
        found.append(QStringLiteral("mount folder ") + name);
    }
    const QString root = QFileInfo(mountRoot_.path()).canonicalFilePath();
    for (const MountEntry &mount : currentMounts()) {
        if (mount.mountPoint.startsWith(root + QLatin1Char('/'))) found.append(QStringLiteral("mount ") + mount.mountPoint);
    }
    return found;
}

} // namespace domaintest
