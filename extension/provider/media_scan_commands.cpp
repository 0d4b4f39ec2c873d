#include "extension/provider/media_scan_commands.h"

#include "extension/provider/device_paths.h"
#include "extension/provider/shell_commands.h"
#include "platform/posix/file_system_name.h"

namespace {

constexpr int firstIndexThatFollowsMoves = 30;

QString commandFor(const MediaIndexSetup &setup, const QString &indexPath) {
    if (setup.sdk >= firstIndexThatFollowsMoves)
        return QStringLiteral("content call --uri content://media --method scan_file --arg ") + quoteForShell(indexPath);
    return QStringLiteral("am broadcast -a android.intent.action.MEDIA_SCANNER_SCAN_FILE -d ") + quoteForShell(fileUriOf(indexPath));
}

QString indexPathOf(const MediaIndexSetup &setup, const QString &devicePath) {
    return devicePath == deviceRoot ? setup.storageRoot : setup.storageRoot + devicePath.mid(deviceRoot.size());
}

} // namespace

QString mediaIndexSetupCommand() { return QStringLiteral("getprop ro.build.version.sdk; readlink -f ") + deviceRoot; }

std::optional<MediaIndexSetup> readMediaIndexSetup(const QString &output) {
    QStringList lines;
    for (QString line : output.split(u'\n', Qt::SkipEmptyParts)) {
        while (line.endsWith(u'\r')) line.chop(1);
        if (!line.isEmpty()) lines.append(line);
    }
    if (lines.size() != 2) return std::nullopt;
    bool ok = false;
    const int sdk = lines[0].trimmed().toInt(&ok);
    const QString root = lines[1];
    if (!ok || sdk <= 0 || !root.startsWith(u'/') || root.contains(u'\r') || root.endsWith(u'/')) return std::nullopt;
    return MediaIndexSetup{sdk, root};
}

bool scansMovesAndDeletes(const MediaIndexSetup &setup) { return setup.sdk < firstIndexThatFollowsMoves; }

bool scansFolders(const MediaIndexSetup &setup) { return setup.sdk >= firstIndexThatFollowsMoves; }

bool isMediaCandidate(const QString &devicePath) {
    const QString name = devicePath.mid(devicePath.lastIndexOf(u'/') + 1);
    return devicePath.startsWith(deviceRoot + u'/') && !name.isEmpty() && !name.startsWith(u'.');
}

QStringList mediaScanCommandLines(const MediaIndexSetup &setup, const QStringList &devicePaths, qsizetype longest) {
    QStringList lines;
    QString line;
    for (const QString &path : devicePaths) {
        const QString command = commandFor(setup, indexPathOf(setup, path));
        if (!line.isEmpty() && posix::fileNameBytes(line).size() + 2 + posix::fileNameBytes(command).size() > longest) {
            lines.append(line);
            line.clear();
        }
        line += (line.isEmpty() ? QString() : QStringLiteral("; ")) + command;
    }
    if (!line.isEmpty()) lines.append(line);
    return lines;
}

bool mediaScanAccepted(const MediaIndexSetup &setup, const QString &output) {
    if (setup.sdk >= firstIndexThatFollowsMoves) return output.contains(QLatin1String("Result: Bundle"));
    return output.contains(QLatin1String("Broadcast completed"));
}

QString fileUriOf(const QString &path) {
    static const QByteArray unreserved = "/-._~";
    QString uri = QStringLiteral("file://");
    for (const char byte : posix::fileNameBytes(path)) {
        const auto unit = static_cast<unsigned char>(byte);
        if ((unit >= 'a' && unit <= 'z') || (unit >= 'A' && unit <= 'Z') || (unit >= '0' && unit <= '9') || unreserved.contains(byte)) {
            uri += QLatin1Char(byte);
        } else {
            uri += QStringLiteral("%%1").arg(uint(unit), 2, 16, QLatin1Char('0')).toUpper();
        }
    }
    return uri;
}
