#include "platform/workspace/file_manager_name.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <future>
#include <mutex>

namespace {

// The escapes the desktop entry format allows in a value.
QString unescapeValue(const QString &value) {
    QString text;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != QLatin1Char('\\') || i + 1 == value.size()) {
            text.append(value[i]);
            continue;
        }
        const QChar next = value[++i];
        if (next == QLatin1Char('s')) text.append(QLatin1Char(' '));
        else if (next == QLatin1Char('n')) text.append(QLatin1Char('\n'));
        else if (next == QLatin1Char('t')) text.append(QLatin1Char('\t'));
        else if (next == QLatin1Char('r')) text.append(QLatin1Char('\r'));
        else text.append(next);
    }
    return text;
}

std::shared_future<QString> &resolvedName() {
    static std::shared_future<QString> name;
    return name;
}

std::once_flag resolving;

} // namespace

QString desktopEntryName(const QByteArray &entry) {
    bool inMainGroup = false;
    for (const QString &rawLine : QString::fromUtf8(entry).split(QLatin1Char('\n'))) {
        const QString line = rawLine.trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inMainGroup = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        if (!inMainGroup || line.startsWith(QLatin1Char('#'))) continue;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0 || line.left(equals).trimmed() != QLatin1String("Name")) continue;
        return unescapeValue(line.mid(equals + 1).trimmed()).trimmed();
    }
    return {};
}

std::optional<QString> findDesktopEntry(const QString &desktopId, const QStringList &dataDirectories) {
    if (desktopId.isEmpty() || desktopId.contains(QLatin1Char('/'))) return std::nullopt;
    for (const QString &directory : dataDirectories) {
        const QString applications = directory + QStringLiteral("/applications/");
        QString relative = desktopId;
        // The plain name first, then each "-" read as a folder, left to right.
        for (;;) {
            const QString path = applications + relative;
            if (QFileInfo(path).isFile()) return path;
            const qsizetype dash = relative.indexOf(QLatin1Char('-'));
            if (dash < 0) break;
            relative[dash] = QLatin1Char('/');
        }
    }
    return std::nullopt;
}

QStringList xdgDataDirectories() {
    QString home = qEnvironmentVariable("XDG_DATA_HOME");
    if (home.isEmpty()) home = QDir::homePath() + QStringLiteral("/.local/share");
    QString system = qEnvironmentVariable("XDG_DATA_DIRS");
    if (system.isEmpty()) system = QStringLiteral("/usr/local/share:/usr/share");
    QStringList directories{home};
    directories += system.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    return directories;
}

QString lookUpFileManagerName() {
    QProcess query;
    query.setStandardInputFile(QProcess::nullDevice());
    query.setStandardErrorFile(QProcess::nullDevice());
    query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("inode/directory")});
    // A desktop whose query hangs gets the plain words rather than a stuck app.
    if (!query.waitForFinished(5000) || query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0)
        return fallbackFileManagerName;
    const QString desktopId = QString::fromUtf8(query.readAllStandardOutput()).trimmed();
    const std::optional<QString> path = findDesktopEntry(desktopId, xdgDataDirectories());
    if (!path) return fallbackFileManagerName;
    QFile file(*path);
    if (!file.open(QIODevice::ReadOnly)) return fallbackFileManagerName;
    const QString name = desktopEntryName(file.read(1 << 20));
    return name.isEmpty() ? fallbackFileManagerName : name;
}

void startResolvingFileManagerName() {
    std::call_once(resolving, [] { resolvedName() = std::async(std::launch::async, lookUpFileManagerName).share(); });
}

void useFileManagerName(const QString &name) {
    std::call_once(resolving, [&] {
        std::promise<QString> given;
        given.set_value(name);
        resolvedName() = given.get_future().share();
    });
}

QString fileManagerName() {
    startResolvingFileManagerName();
    return resolvedName().get();
}
