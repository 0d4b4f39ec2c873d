#include "platform/fileprovider/domain/mount_directory_name.h"

namespace {

// NAME_MAX is 255 bytes; leave room for a " (NNN)" suffix.
constexpr qsizetype maximumNameBytes = 240;

QString cleaned(const QString &text) {
    QString result;
    result.reserve(text.size());
    for (const QChar character : text) {
        if (character == QLatin1Char('/')) {
            result.append(QLatin1Char('-'));
        } else if (character.category() == QChar::Other_Control) {
            result.append(QLatin1Char(' '));
        } else {
            result.append(character);
        }
    }
    result = result.trimmed();
    // Cut whole code points until the UTF-8 form fits.
    while (result.toUtf8().size() > maximumNameBytes) {
        result.chop(result.size() >= 2 && result.at(result.size() - 1).isLowSurrogate() ? 2 : 1);
        result = result.trimmed();
    }
    return result;
}

bool usable(const QString &name) {
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..");
}

} // namespace

QString safeDirectoryName(const QString &displayName, const QString &fallback) {
    const QString fromName = cleaned(displayName);
    if (usable(fromName)) return fromName;
    const QString fromFallback = cleaned(fallback);
    if (usable(fromFallback)) return fromFallback;
    return QStringLiteral("Phone");
}

QString uniqueDirectoryName(const QString &safeName, const std::function<bool(const QString &)> &isTaken) {
    if (!isTaken(safeName)) return safeName;
    for (int number = 2;; ++number) {
        const QString candidate = QStringLiteral("%1 (%2)").arg(safeName).arg(number);
        if (!isTaken(candidate)) return candidate;
    }
}
