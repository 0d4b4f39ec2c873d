#include "app/ui/byte_count_text.h"

#include <QStringList>

#include <array>
#include <cmath>

namespace {

const std::array<const char *, 6> units{"KB", "MB", "GB", "TB", "PB", "EB"};

// One decimal at most, without a trailing ".0".
QString oneDecimal(double value) {
    QString text = QString::number(value, 'f', 1);
    if (text.endsWith(QLatin1String(".0")))
        text.chop(2);
    return text;
}

} // namespace

QString formatFileSize(qint64 bytes) {
    // The magnitude as an unsigned value, so the most negative count has one too.
    const bool negative = bytes < 0;
    const quint64 magnitude = negative ? quint64(0) - quint64(bytes) : quint64(bytes);
    const QString sign = negative ? QStringLiteral("-") : QString();
    if (magnitude < 1000)
        return sign + QString::number(magnitude) + (magnitude == 1 ? QStringLiteral(" byte") : QStringLiteral(" bytes"));

    double value = double(magnitude) / 1000.0;
    std::size_t unit = 0;
    // Moves up while the rounded figure would read 1000 or more, so 999,960
    // bytes is "1 MB", never "1000 KB".
    while (unit + 1 < units.size() && std::round(value * 10.0) / 10.0 >= 1000.0) {
        value /= 1000.0;
        ++unit;
    }
    return sign + oneDecimal(value) + QLatin1Char(' ') + QLatin1String(units[unit]);
}
