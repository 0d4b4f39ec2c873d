#include "app/adb/adb_locator.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

QString defaultResourceDirectory() {
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/dorvane"));
}

QStringList fixedAdbCandidates() {
    return {QStringLiteral("/opt/homebrew/bin/adb"), QStringLiteral("/usr/local/bin/adb"),
            QStringLiteral("/usr/bin/adb")};
}

namespace {

bool isExecutableFile(const QString &path) {
    const QFileInfo info(path);
    return info.isFile() && ::access(QFile::encodeName(path).constData(), X_OK) == 0;
}

} // namespace

std::optional<QString> locateAdb(const QString &resourceDirectory, const QStringList &fixedCandidates) {
    if (!resourceDirectory.isEmpty()) {
        const QFileInfo bundled(QDir(resourceDirectory).filePath(QStringLiteral("adb")));
        if (bundled.isFile()) {
            // Packaging may drop the execute bits; a failure here is not fatal.
            QFile::setPermissions(bundled.absoluteFilePath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                                  QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                                                  QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                                                  QFileDevice::ExeOther);
            return bundled.absoluteFilePath();
        }
    }
    for (const QString &candidate : fixedCandidates) {
        if (isExecutableFile(candidate)) return candidate;
    }
    return std::nullopt;
}
