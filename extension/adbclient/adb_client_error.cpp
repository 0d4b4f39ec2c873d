#include "extension/adbclient/adb_client_error.h"

AdbClientError::AdbClientError(Kind kind, QString payload)
    : kind_(kind), payload_(std::move(payload)), what_(description().toStdString()) {}

AdbClientError AdbClientError::requestFailed(const QString &reason) { return {Kind::requestFailed, reason}; }

AdbClientError AdbClientError::protocolError(const QString &what) { return {Kind::protocolError, what}; }

AdbClientError AdbClientError::connectionFailed() { return {Kind::connectionFailed, {}}; }

AdbClientError AdbClientError::phoneSilent(int seconds) { return {Kind::phoneSilent, QString::number(seconds)}; }

QString AdbClientError::description() const {
    switch (kind_) {
    case Kind::requestFailed:
        return QStringLiteral("adb request failed: ") + payload_;
    case Kind::protocolError:
        return QStringLiteral("adb protocol error: ") + payload_;
    case Kind::connectionFailed:
        break;
    case Kind::phoneSilent:
        return QStringLiteral("The phone did not answer for %1 seconds. Is it asleep, locked or out of reach?").arg(payload_);
    }
    return QStringLiteral("Couldn't reach the adb server. Is the app running?");
}
