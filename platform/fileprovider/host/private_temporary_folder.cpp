#include "platform/fileprovider/host/private_temporary_folder.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <stdexcept>
#include <sys/file.h>
#include <system_error>

namespace fileprovider {

namespace {

constexpr char lockName[] = ".in-use";

QByteArray lockPathIn(const QString &folder) { return QFile::encodeName(folder + u'/' + QLatin1String(lockName)); }

// Folders of this prefix whose process is gone. One without a lock file is
// left alone: it is still being made, or not ours to judge.
void removeAbandoned(const QString &namePrefix) {
    const QDir temporary(QDir::tempPath());
    const QStringList folders = temporary.entryList({namePrefix + QStringLiteral("-??????")}, QDir::Dirs | QDir::Hidden | QDir::NoSymLinks);
    for (const QString &name : folders) {
        const QString folder = temporary.filePath(name);
        const posix::FileDescriptor lock(::open(lockPathIn(folder).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
        const bool abandoned = lock.isOpen() && ::flock(lock.get(), LOCK_EX | LOCK_NB) == 0;
        if (abandoned) QDir(folder).removeRecursively();
    }
}

} // namespace

PrivateTemporaryFolder::PrivateTemporaryFolder(const QString &namePrefix) {
    removeAbandoned(namePrefix);
    QByteArray pattern = QFile::encodeName(QDir::tempPath() + u'/' + namePrefix + QStringLiteral("-XXXXXX"));
    if (!::mkdtemp(pattern.data())) {
        throw std::runtime_error("cannot make a temporary folder in " + QDir::tempPath().toStdString() + ": " +
                                 std::generic_category().message(errno));
    }
    path_ = QFile::decodeName(pattern);
    // Locked before it takes its name, so that no one finds the lock file
    // free while this process lives.
    const QByteArray unnamed = QFile::encodeName(path_ + QStringLiteral("/.locking"));
    lock_.reset(::open(unnamed.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!lock_.isOpen() || ::flock(lock_.get(), LOCK_EX) != 0 || ::rename(unnamed.constData(), lockPathIn(path_).constData()) != 0) {
        const int error = errno;
        QDir(path_).removeRecursively();
        throw std::runtime_error("cannot mark the temporary folder " + path_.toStdString() + " as in use: " +
                                 std::generic_category().message(error));
    }
}

PrivateTemporaryFolder::~PrivateTemporaryFolder() { QDir(path_).removeRecursively(); }

void PrivateTemporaryFolder::makeProcessTemporaryFolder() const { qputenv("TMPDIR", QFile::encodeName(path_)); }

} // namespace fileprovider
