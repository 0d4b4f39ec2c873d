#include "platform/fileprovider/host/private_temporary_folder.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>
#include <system_error>

namespace fileprovider {

PrivateTemporaryFolder::PrivateTemporaryFolder(const QString &namePrefix) {
    QByteArray pattern = QFile::encodeName(QDir::tempPath() + u'/' + namePrefix + QStringLiteral("-XXXXXX"));
    if (!::mkdtemp(pattern.data())) {
        throw std::runtime_error("cannot make a temporary folder in " + QDir::tempPath().toStdString() + ": " +
                                 std::generic_category().message(errno));
    }
    path_ = QFile::decodeName(pattern);
}

PrivateTemporaryFolder::~PrivateTemporaryFolder() { QDir(path_).removeRecursively(); }

void PrivateTemporaryFolder::makeProcessTemporaryFolder() const { qputenv("TMPDIR", QFile::encodeName(path_)); }

} // namespace fileprovider
