#include "extension/adbclient/adb_client_error.h"

#include <QRegularExpression>

#include <cerrno>

AdbClientError::AdbClientError(Kind kind, QString payload, std::optional<int> errorNumber)
    : kind_(kind), payload_(std::move(payload)), errorNumber_(errorNumber), what_(description().toStdString()) {}

AdbClientError AdbClientError::requestFailed(const QString &reason, std::optional<int> phoneErrno) {
    return {Kind::requestFailed, reason, phoneErrno ? phoneErrno : errnoOfRefusal(reason)};
}

AdbClientError AdbClientError::protocolError(const QString &what) { return {Kind::protocolError, what, std::nullopt}; }

AdbClientError AdbClientError::connectionFailed(int socketErrno) {
    // Running out of descriptors or memory here is this computer's trouble
    // and says so; anything else means the server cannot be reached.
    const bool localShortage = socketErrno == EMFILE || socketErrno == ENFILE || socketErrno == ENOMEM || socketErrno == ENOBUFS;
    return {Kind::connectionFailed, {}, localShortage ? socketErrno : ENOTCONN};
}

AdbClientError AdbClientError::phoneSilent(int seconds) { return {Kind::phoneSilent, QString::number(seconds), ETIMEDOUT}; }

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

std::optional<int> errnoOfRefusal(const QString &reason) {
    struct Cause {
        const char *text;
        int errorNumber;
    };
    // The phone's strerror texts, as its sync service passes them on.
    static const Cause causes[] = {
        {"Permission denied", EACCES},
        {"Operation not permitted", EPERM},
        {"Read-only file system", EROFS},
        {"No such file or directory", ENOENT},
        {"Is a directory", EISDIR},
        {"Not a directory", ENOTDIR},
        {"No space left on device", ENOSPC},
        {"File name too long", ENAMETOOLONG},
        {"path too long", ENAMETOOLONG},
    };
    for (const Cause &cause : causes) {
        if (reason.contains(QLatin1String(cause.text), Qt::CaseInsensitive)) return cause.errorNumber;
    }
    // The server's words for a phone it cannot use.
    if (reason.startsWith(QLatin1String("device unauthorized"))) return EACCES;
    static const QRegularExpression unavailablePhone(QStringLiteral("^device (offline|still authorizing|'.*' not found)"));
    if (unavailablePhone.match(reason).hasMatch()) return ENOTCONN;
    return std::nullopt;
}
