#include "app/adb/wifi_address_reader.h"

#include "app/adb/text_tokens.h"

std::optional<QString> parseWifiAddress(const QString &text) {
    for (const QString &line : splitOutputLines(text)) {
        const QStringList tokens = splitAtBlanks(line);
        const qsizetype inet = tokens.indexOf(QStringLiteral("inet"));
        if (inet < 0 || inet + 1 >= tokens.size()) continue;

        const QStringList pieces = tokens[inet + 1].split(QLatin1Char('/'), Qt::SkipEmptyParts);
        // A field of only slashes ends the search: it was the address field.
        if (pieces.isEmpty()) return std::nullopt;
        return pieces.first();
    }
    return std::nullopt;
}
