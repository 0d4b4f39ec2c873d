#pragma once

#include <QString>

// What the user typed for a pairing, checked before any process runs: the
// cleaned value, or one plain sentence saying what is wrong with it.
struct CheckedInput {
    QString value;
    QString problem;
    bool ok() const { return problem.isEmpty(); }
};

// Exactly six digits, once blanks around them are dropped.
CheckedInput checkPairingCode(const QString &typed);

// HOST:PORT, blanks around it dropped: HOST an IPv4 address or a host name,
// PORT 1 to 65535. Nothing else, so no text the tool would read as an option
// or a different request reaches it.
CheckedInput checkPhoneAddress(const QString &typed);

// The parts of a possibly half-typed HOST:PORT, split at the last ":";
// without a ":" it is all host.
QString addressHost(const QString &address);
QString addressPort(const QString &address);
