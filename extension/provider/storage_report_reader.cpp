#include "extension/provider/storage_report_reader.h"

#include <QRegularExpression>
#include <QStringList>

#include <limits>

namespace {

constexpr qint64 kilobyte = 1024;

std::optional<qint64> kilobytesAsBytes(const QString &token) {
    bool ok = false;
    const qulonglong kilobytes = token.toULongLong(&ok, 10);
    if (!ok || token.startsWith(u'+')) return std::nullopt;
    if (kilobytes > static_cast<qulonglong>(std::numeric_limits<qint64>::max() / kilobyte)) return std::nullopt;
    return static_cast<qint64>(kilobytes) * kilobyte;
}

} // namespace

std::optional<fileprovider::StorageSpace> readStorageReport(const QString &output) {
    QString text = output;
    text.replace(QLatin1String("\r"), QString());
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    QStringList pending;
    for (const QString &line : text.split(u'\n')) {
        const QStringList tokens = line.split(blanks, Qt::SkipEmptyParts);
        if (tokens.isEmpty()) continue;
        if (tokens.first() == QLatin1String("Filesystem")) {
            pending.clear();
            continue;
        }
        pending.append(tokens);
        // A long name alone on its line: its figures follow on the next.
        if (pending.size() < 4) continue;
        const auto total = kilobytesAsBytes(pending[1]);
        const auto available = kilobytesAsBytes(pending[3]);
        const auto used = kilobytesAsBytes(pending[2]);
        pending.clear();
        if (total && available && used) return fileprovider::StorageSpace{*available, *total};
    }
    return std::nullopt;
}
