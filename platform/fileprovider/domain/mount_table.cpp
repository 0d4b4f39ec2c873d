#include "platform/fileprovider/domain/mount_table.h"

#include <QFile>

#include <algorithm>

namespace {

bool isOctalDigit(char c) { return c >= '0' && c <= '7'; }

// The kernel writes blank, tab, newline and backslash in paths as \ooo.
QString decodeMountPath(const QByteArray &field) {
    QByteArray decoded;
    decoded.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && isOctalDigit(field[i + 1]) && isOctalDigit(field[i + 2]) &&
            isOctalDigit(field[i + 3])) {
            const int value = (field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0');
            decoded.append(char(value));
            i += 3;
        } else {
            decoded.append(field[i]);
        }
    }
    return QString::fromUtf8(decoded);
}

} // namespace

bool MountEntry::isFuse() const {
    return fileSystemType == QLatin1String("fuse") || fileSystemType.startsWith(QLatin1String("fuse."));
}

QList<MountEntry> parseMountInfo(const QByteArray &text) {
    QList<MountEntry> entries;
    for (const QByteArray &line : text.split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        // id, parent, major:minor, root, mount point, options, optional fields..., "-", type, source, super options
        const auto separator = std::find(fields.begin(), fields.end(), QByteArray("-"));
        if (separator == fields.end()) continue;
        const qsizetype separatorIndex = separator - fields.begin();
        if (separatorIndex < 6 || fields.size() < separatorIndex + 3) continue;
        MountEntry entry;
        entry.mountPoint = decodeMountPath(fields[4]);
        entry.fileSystemType = QString::fromUtf8(fields[separatorIndex + 1]);
        entry.source = decodeMountPath(fields[separatorIndex + 2]);
        if (!entry.mountPoint.startsWith(QLatin1Char('/')) || entry.fileSystemType.isEmpty()) continue;
        entries.append(entry);
    }
    return entries;
}

QList<MountEntry> currentMounts() {
    // Reading mountinfo never touches the mounted file systems, so a hung
    // FUSE server cannot stall the caller here.
    QFile file(QStringLiteral("/proc/self/mountinfo"));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return parseMountInfo(file.readAll());
}

bool isFuseMountedAt(const QList<MountEntry> &mounts, const QString &directory) {
    return std::any_of(mounts.begin(), mounts.end(),
                       [&](const MountEntry &entry) { return entry.mountPoint == directory && entry.isFuse(); });
}

bool isMountedAt(const QList<MountEntry> &mounts, const QString &directory) {
    return std::any_of(mounts.begin(), mounts.end(),
                       [&](const MountEntry &entry) { return entry.mountPoint == directory; });
}
