#include "app/adb/text_tokens.h"

QStringList splitOutputLines(const QString &text) {
    QStringList lines;
    for (QString line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
        if (!line.isEmpty()) lines.append(line);
    }
    return lines;
}

QStringList splitAtBlanks(const QString &line) {
    return line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
}
