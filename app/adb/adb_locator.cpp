#include "app/adb/adb_locator.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

QString defaultResourceDirectory() {
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/dorvane"));
}

AdbSearchEnvironment currentAdbSearchEnvironment() {
    const auto variable = [](const char *name) { return QString::fromLocal8Bit(qgetenv(name)); };
    return {variable("PATH"), variable("ANDROID_HOME"), variable("ANDROID_SDK_ROOT"), QDir::homePath()};
}

QStringList adbCandidates(const AdbSearchEnvironment &environment) {
    QStringList candidates;
    const auto add = [&](const QString &folder) {
        // An empty PATH entry means the working folder: never a place to run a tool from.
        if (!folder.startsWith(QLatin1Char('/'))) return;
        const QString candidate = QDir::cleanPath(folder + QStringLiteral("/adb"));
        if (!candidates.contains(candidate)) candidates.append(candidate);
    };
    for (const QString &folder : environment.path.split(QLatin1Char(':'))) add(folder);
    if (!environment.androidHome.isEmpty()) add(environment.androidHome + QStringLiteral("/platform-tools"));
    if (!environment.androidSdkRoot.isEmpty()) add(environment.androidSdkRoot + QStringLiteral("/platform-tools"));
    if (!environment.home.isEmpty()) add(environment.home + QStringLiteral("/Android/Sdk/platform-tools"));
    add(QStringLiteral("/usr/local/bin"));
    add(QStringLiteral("/usr/bin"));
    return candidates;
}

QStringList defaultAdbCandidates() { return adbCandidates(currentAdbSearchEnvironment()); }

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
