#include "app/adb/pairing_report_reader.h"

#include "app/adb/text_tokens.h"

PairOutcome readPairReport(bool exitedCleanly, const QString &text) {
    const QStringList lines = splitOutputLines(text);
    for (const QString &line : lines) {
        if (exitedCleanly && line.startsWith(QStringLiteral("Successfully paired to "))) return PairOutcome::paired;
        if (line.contains(QStringLiteral("Wrong password or connection was dropped"))) return PairOutcome::wrongCode;
        // The pairing client's connection failed (refused, no route, timed out).
        if (line.contains(QStringLiteral("Unable to start pairing client"))) return PairOutcome::unreachable;
        if (line.contains(QStringLiteral("unknown command pair"))) return PairOutcome::tooOld;
        // Newer adb servers hang up on a wrong code and on a phone they
        // cannot reach alike, and the tool reports only the hang-up.
        if (line.contains(QStringLiteral("protocol fault (couldn't read status message)"))) return PairOutcome::wrongCodeOrUnreachable;
    }
    return PairOutcome::refused;
}

bool readConnectReport(const QString &text) {
    for (const QString &line : splitOutputLines(text)) {
        if (line.startsWith(QStringLiteral("connected to ")) || line.startsWith(QStringLiteral("already connected to ")))
            return true;
    }
    return false;
}

std::optional<int> readAdbRelease(const QString &text) {
    for (const QString &line : splitOutputLines(text)) {
        const QStringList tokens = splitAtBlanks(line);
        if (tokens.size() < 2 || tokens[0] != QStringLiteral("Version")) continue;
        const QString major = tokens[1].section(QLatin1Char('.'), 0, 0);
        bool number = false;
        const int release = major.toInt(&number);
        if (number && release > 0 && !major.startsWith(QLatin1Char('+'))) return release;
    }
    return std::nullopt;
}
