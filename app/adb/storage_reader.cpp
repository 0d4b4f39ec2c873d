#include "app/adb/storage_reader.h"

#include "app/adb/text_tokens.h"

#include <limits>

namespace {

constexpr qint64 blockSize = 1024;

} // namespace

std::optional<qint64> parseBlockCountAsBytes(const QString &token) {
    qsizetype position = 0;
    bool negative = false;
    if (position < token.size() && (token[position] == QLatin1Char('+') || token[position] == QLatin1Char('-'))) {
        negative = token[position] == QLatin1Char('-');
        ++position;
    }
    if (position == token.size()) return std::nullopt;

    // Accumulate negatively so that the most negative count fits as well.
    constexpr qint64 lowest = std::numeric_limits<qint64>::min() / blockSize;
    qint64 negatedBlocks = 0;
    for (; position < token.size(); ++position) {
        const char16_t unit = token[position].unicode();
        if (unit < u'0' || unit > u'9') return std::nullopt;
        const int digit = unit - u'0';
        if (negatedBlocks < (lowest + digit) / 10) return std::nullopt;
        negatedBlocks = negatedBlocks * 10 - digit;
    }
    if (!negative && negatedBlocks < -(std::numeric_limits<qint64>::max() / blockSize)) return std::nullopt;
    const qint64 blocks = negative ? negatedBlocks : -negatedBlocks;
    return blocks * blockSize;
}

std::optional<StoragePair> parseStorage(const QString &text) {
    const QStringList lines = splitOutputLines(text);
    for (auto line = lines.crbegin(); line != lines.crend(); ++line) {
        const QStringList tokens = splitAtBlanks(*line);
        if (tokens.size() < 4) continue;
        const auto total = parseBlockCountAsBytes(tokens[1]);
        if (!total) continue;
        const auto available = parseBlockCountAsBytes(tokens[3]);
        if (!available) continue;
        return StoragePair{*available, *total};
    }
    return std::nullopt;
}
