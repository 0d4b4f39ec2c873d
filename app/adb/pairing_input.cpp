#include "app/adb/pairing_input.h"

#include <QStringList>

namespace {

const QString addressExample = QStringLiteral("Type the address as the phone shows it, like 192.168.1.20:37251.");

bool allAsciiDigits(const QString &text) {
    if (text.isEmpty()) return false;
    for (const QChar character : text) {
        if (character < QLatin1Char('0') || character > QLatin1Char('9')) return false;
    }
    return true;
}

// Four decimal parts of 0 to 255 without leading zeros, which some readers
// take for octal.
bool isIpv4(const QString &host) {
    const QStringList parts = host.split(QLatin1Char('.'));
    if (parts.size() != 4) return false;
    for (const QString &part : parts) {
        if (!allAsciiDigits(part) || part.size() > 3 || (part.size() > 1 && part.startsWith(QLatin1Char('0')))) return false;
        if (part.toInt() > 255) return false;
    }
    return true;
}

// Letters, digits and "-" in dot-separated labels that neither start nor end
// with "-".
bool isHostName(const QString &host) {
    if (host.isEmpty() || host.size() > 253) return false;
    for (const QString &label : host.split(QLatin1Char('.'))) {
        if (label.isEmpty() || label.size() > 63) return false;
        if (label.startsWith(QLatin1Char('-')) || label.endsWith(QLatin1Char('-'))) return false;
        for (const QChar character : label) {
            const bool allowed = (character >= QLatin1Char('a') && character <= QLatin1Char('z')) ||
                                 (character >= QLatin1Char('A') && character <= QLatin1Char('Z')) ||
                                 (character >= QLatin1Char('0') && character <= QLatin1Char('9')) ||
                                 character == QLatin1Char('-');
            if (!allowed) return false;
        }
    }
    return true;
}

} // namespace

CheckedInput checkPairingCode(const QString &typed) {
    const QString code = typed.trimmed();
    if (code.isEmpty()) return {code, QStringLiteral("Type the six-digit code the phone shows.")};
    if (code.size() != 6 || !allAsciiDigits(code)) return {code, QStringLiteral("The code is six digits, like 123456.")};
    return {code, {}};
}

CheckedInput checkPhoneAddress(const QString &typed) {
    const QString address = typed.trimmed();
    const qsizetype colon = address.lastIndexOf(QLatin1Char(':'));
    if (colon < 0) return {address, addressExample};
    const QString host = address.left(colon);
    const QString port = address.mid(colon + 1);
    // A host of only digits and dots is meant as an IPv4 address.
    bool numeric = !host.isEmpty();
    for (const QChar character : host) numeric = numeric && (character.isDigit() || character == QLatin1Char('.'));
    if (numeric ? !isIpv4(host) : !isHostName(host)) return {address, addressExample};
    if (!allAsciiDigits(port)) return {address, addressExample};
    if (port.size() > 5 || port.toInt() < 1 || port.toInt() > 65535) {
        return {address, QStringLiteral("The port after \u201C:\u201D is a number from 1 to 65535.")};
    }
    return {address, {}};
}

QString addressHost(const QString &address) {
    const QString trimmed = address.trimmed();
    const qsizetype colon = trimmed.lastIndexOf(QLatin1Char(':'));
    return colon < 0 ? trimmed : trimmed.left(colon);
}

QString addressPort(const QString &address) {
    const QString trimmed = address.trimmed();
    const qsizetype colon = trimmed.lastIndexOf(QLatin1Char(':'));
    return colon < 0 ? QString() : trimmed.mid(colon + 1);
}
