#include "platform/fileprovider/domain/file_provider_manager.h"

#include "platform/fileprovider/domain/file_provider_error.h"
#include "platform/fileprovider/domain/host_process.h"
#include "platform/fileprovider/domain/mount_directory_name.h"
#include "platform/fileprovider/domain/mount_table.h"
#include "platform/fileprovider/domain/unmount_command.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QCoro/QCoroTimer>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::chrono::milliseconds livePollStep(10);
constexpr std::chrono::milliseconds hostGrace(3000);
// Enough of the host's complaint to explain a failure, not a whole log.
constexpr qint64 failureTextLimit = 2000;

using Kind = FileProviderError::Kind;

QString environmentPath(const char *name) { return QString::fromLocal8Bit(qgetenv(name)); }

QString programName(const QString &program) { return QFileInfo(program).fileName(); }

QString systemErrorText() { return QString::fromLocal8Bit(std::strerror(errno)); }

bool isEmptyDirectory(const QFileInfo &info) {
    return info.isDir() && !info.isSymLink() &&
           QDir(info.filePath()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot).isEmpty();
}

} // namespace

FileProviderManager::Settings FileProviderManager::defaultSettings() {
    Settings settings;
    const QString programDirectory = QCoreApplication::instance() ? QCoreApplication::applicationDirPath()
                                                                  : QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget().section(QLatin1Char('/'), 0, -2);
    settings.hostProgram = programDirectory + QStringLiteral("/VaneFileProvider");

    const QString runtime = environmentPath("XDG_RUNTIME_DIR");
    settings.recordsDirectory = runtime.isEmpty()
                                    ? QStringLiteral("/tmp/dorvane-%1/domains").arg(::getuid())
                                    : runtime + QStringLiteral("/dorvane/domains");

    const QString mountRoot = environmentPath("DORVANE_MOUNT_ROOT");
    settings.mountRoot = mountRoot.isEmpty() ? QDir::homePath() + QStringLiteral("/Phones") : mountRoot;
    return settings;
}

FileProviderManager::FileProviderManager(Settings settings) : settings_(std::move(settings)) {}

QString FileProviderManager::recordPath(const QString &identifier) const {
    return settings_.recordsDirectory + QLatin1Char('/') + recordFileName(identifier);
}

QString FileProviderManager::logPath(const QString &identifier) const {
    QString path = recordPath(identifier);
    path.chop(int(qstrlen(".json")));
    return path + QStringLiteral(".log");
}

std::optional<DomainRecord> FileProviderManager::readRecord(const QString &identifier) const {
    QFile file(recordPath(identifier));
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    std::optional<DomainRecord> record = parseDomainRecord(file.readAll());
    if (!record || record->identifier != identifier) return std::nullopt;
    return record;
}

QList<DomainRecord> FileProviderManager::records() const {
    QList<DomainRecord> found;
    const QDir directory(settings_.recordsDirectory);
    for (const QString &name : directory.entryList({QStringLiteral("*.json")}, QDir::Files)) {
        QFile file(directory.filePath(name));
        if (!file.open(QIODevice::ReadOnly)) continue;
        const std::optional<DomainRecord> record = parseDomainRecord(file.readAll());
        // A file whose name does not match its identifier is not one of ours.
        if (record && recordFileName(record->identifier) == name) found.append(*record);
    }
    std::sort(found.begin(), found.end(),
              [](const DomainRecord &a, const DomainRecord &b) { return a.identifier < b.identifier; });
    return found;
}

void FileProviderManager::ensureRecordsDirectory() const {
    const QString directory = settings_.recordsDirectory;
    const QString owner = QFileInfo(directory).path(); // ".../dorvane", private to the user
    if (!QDir().mkpath(directory)) {
        throw FileProviderError(Kind::storageFailed, QStringLiteral("Couldn't create the folder %1.").arg(directory));
    }
    for (const QString &path : {owner, directory}) {
        struct stat info {};
        if (::lstat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISDIR(info.st_mode) ||
            info.st_uid != ::geteuid()) {
            throw FileProviderError(Kind::storageFailed,
                                    QStringLiteral("The folder %1 doesn't belong to this user.").arg(path));
        }
        ::chmod(QFile::encodeName(path).constData(), 0700);
    }
}

void FileProviderManager::writeRecord(const DomainRecord &record) const {
    QSaveFile file(recordPath(record.identifier));
    if (!file.open(QIODevice::WriteOnly) || file.write(serializeDomainRecord(record)) < 0 || !file.commit()) {
        throw FileProviderError(Kind::storageFailed, QStringLiteral("Couldn't save the record of the domain %1: %2")
                                                         .arg(record.identifier, file.errorString()));
    }
}

QString FileProviderManager::makeMountDirectory(const QString &displayName, const QString &identifier) const {
    if (!QDir().mkpath(settings_.mountRoot)) {
        throw FileProviderError(Kind::storageFailed, QStringLiteral("Couldn't create the folder %1.").arg(settings_.mountRoot));
    }
    // Mountinfo lists resolved paths, so the folders are named that way too.
    const QString root = QFileInfo(settings_.mountRoot).canonicalFilePath();
    const QList<MountEntry> mounts = currentMounts();
    QStringList recorded;
    for (const DomainRecord &record : records()) recorded.append(record.mountPoint);

    const auto isTaken = [&](const QString &name) {
        const QString path = root + QLatin1Char('/') + name;
        if (recorded.contains(path) || isMountedAt(mounts, path)) return true;
        // Not a mount point, so looking at it cannot hang on a dead server.
        const QFileInfo info(path);
        return info.exists() || info.isSymLink() ? !isEmptyDirectory(info) : false;
    };
    const QString path = root + QLatin1Char('/') + uniqueDirectoryName(safeDirectoryName(displayName, identifier), isTaken);
    if (::mkdir(QFile::encodeName(path).constData(), 0755) != 0 && errno != EEXIST) {
        throw FileProviderError(Kind::storageFailed, QStringLiteral("Couldn't create the folder %1: %2").arg(path, systemErrorText()));
    }
    return path;
}

QString FileProviderManager::hostFailureText(const QString &identifier) const {
    QFile log(logPath(identifier));
    QByteArray text;
    if (log.open(QIODevice::ReadOnly)) {
        if (log.size() > failureTextLimit) log.seek(log.size() - failureTextLimit);
        text = log.readAll().trimmed();
    }
    const QString name = programName(settings_.hostProgram);
    if (text.isEmpty()) return QStringLiteral("%1 stopped before its folder was mounted.").arg(name);
    return QStringLiteral("%1 stopped before its folder was mounted: %2").arg(name, QString::fromLocal8Bit(text));
}

QCoro::Task<> FileProviderManager::waitUntilLive(const DomainRecord &record) {
    const auto deadline = std::chrono::steady_clock::now() + settings_.liveLimit;
    for (;;) {
        if (isFuseMountedAt(currentMounts(), record.mountPoint)) co_return;
        if (!isHostRunning(record.pid, record.processStart)) {
            throw FileProviderError(Kind::programExited, hostFailureText(record.identifier));
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            const auto seconds = std::chrono::duration_cast<std::chrono::duration<double>>(settings_.liveLimit).count();
            throw FileProviderError(Kind::mountNotLive, QStringLiteral("%1 didn't mount %2 within %3 seconds.")
                                                            .arg(programName(settings_.hostProgram), record.mountPoint)
                                                            .arg(seconds));
        }
        co_await QCoro::sleepFor(livePollStep);
    }
}

QCoro::Task<> FileProviderManager::discard(DomainRecord record) {
    const QString stillMounted = co_await unmountDirectory(record.mountPoint);
    co_await endHost(record.pid, record.processStart, hostGrace);
    if (!stillMounted.isEmpty()) {
        co_await unmountDirectory(record.mountPoint);
    }
    QDir().rmdir(record.mountPoint); // only when empty: never takes the user's files with it
    QFile::remove(recordPath(record.identifier));
    QFile::remove(logPath(record.identifier));
}

QCoro::Task<> FileProviderManager::addDomain(FileProviderDomain domain) {
    const QString identifier = domain.identifier();
    if (identifier.isEmpty()) throw FileProviderError(Kind::invalidIdentifier, QStringLiteral("A domain needs an identifier."));
    if (readRecord(identifier)) {
        throw FileProviderError(Kind::alreadyAdded, QStringLiteral("The domain %1 is already added.").arg(identifier));
    }
    const QFileInfo program(settings_.hostProgram);
    if (!program.isFile() || !program.isExecutable()) {
        throw FileProviderError(Kind::programMissing, QStringLiteral("%1 is missing (looked for %2).")
                                                          .arg(programName(settings_.hostProgram), settings_.hostProgram));
    }

    // Everything up to the start of the host runs without a pause, so two
    // adds on this thread never pick the same folder.
    ensureRecordsDirectory();
    DomainRecord record;
    record.identifier = identifier;
    record.displayName = domain.displayName();
    record.mountPoint = makeMountDirectory(domain.displayName(), identifier);

    std::optional<FileProviderError> failure;
    try {
        writeRecord(record);
        QProcess host;
        host.setProgram(settings_.hostProgram);
        host.setArguments({QStringLiteral("--domain"), identifier, QStringLiteral("--mountpoint"), record.mountPoint});
        host.setStandardInputFile(QProcess::nullDevice());
        host.setStandardOutputFile(QProcess::nullDevice());
        host.setStandardErrorFile(logPath(identifier), QIODevice::Truncate);
        host.setWorkingDirectory(QStringLiteral("/"));
        qint64 pid = 0;
        if (!host.startDetached(&pid)) {
            throw FileProviderError(Kind::programFailedToStart, QStringLiteral("Couldn't start %1: %2")
                                                                    .arg(programName(settings_.hostProgram), host.errorString()));
        }
        record.pid = pid;
        const std::optional<ProcessStat> stat = readProcessStat(pid);
        record.processStart = stat ? stat->startTime : 0;
        writeRecord(record);
    } catch (const FileProviderError &error) {
        failure = error;
    }
    if (!failure) {
        try {
            co_await waitUntilLive(record);
        } catch (const FileProviderError &error) {
            failure = error;
        }
    }
    if (failure) {
        co_await discard(record);
        throw *failure;
    }
}

QCoro::Task<> FileProviderManager::removeDomain(FileProviderDomain domain) {
    const std::optional<DomainRecord> record = readRecord(domain.identifier());
    if (!record) {
        throw FileProviderError(Kind::notRegistered,
                                QStringLiteral("The domain %1 is not registered.").arg(domain.identifier()));
    }
    QString stillMounted = co_await unmountDirectory(record->mountPoint);
    co_await endHost(record->pid, record->processStart, hostGrace);
    // With its server gone a busy mount lets go.
    if (!stillMounted.isEmpty()) {
        stillMounted = co_await unmountDirectory(record->mountPoint);
    }
    if (!stillMounted.isEmpty()) {
        throw FileProviderError(Kind::unmountFailed,
                                QStringLiteral("Couldn't unmount %1: %2").arg(record->mountPoint, stillMounted));
    }
    QDir().rmdir(record->mountPoint);
    QFile::remove(recordPath(record->identifier));
    QFile::remove(logPath(record->identifier));
}

QCoro::Task<QList<FileProviderDomain>> FileProviderManager::domains() {
    QList<FileProviderDomain> found;
    for (const DomainRecord &record : records()) found.append(record.domain());
    co_return found;
}

QCoro::Task<std::optional<QString>> FileProviderManager::userVisibleLocation(FileProviderDomain domain) {
    const std::optional<DomainRecord> record = readRecord(domain.identifier());
    if (!record) {
        throw FileProviderError(Kind::notRegistered,
                                QStringLiteral("The domain %1 is not registered.").arg(domain.identifier()));
    }
    if (!isFuseMountedAt(currentMounts(), record->mountPoint)) co_return std::nullopt;
    co_return record->mountPoint;
}

bool FileProviderManager::isServing(const FileProviderDomain &domain) const {
    const std::optional<DomainRecord> record = readRecord(domain.identifier());
    return record && isFuseMountedAt(currentMounts(), record->mountPoint) &&
           isHostRunning(record->pid, record->processStart);
}
