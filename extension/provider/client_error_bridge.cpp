#include "extension/provider/client_error_bridge.h"

#include <QRegularExpression>

#include <cerrno>

using fileprovider::ProviderError;

std::optional<int> posixCodeForRefusal(const QString &reason) {
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

ProviderError bridgedError(const AdbClientError &error) {
    ProviderError bridged{adbClientErrorDomain, static_cast<int>(error.kind()), error.description(), std::nullopt};
    switch (error.kind()) {
    case AdbClientError::Kind::connectionFailed: bridged.underlyingPosixCode = ENOTCONN; break;
    case AdbClientError::Kind::requestFailed: bridged.underlyingPosixCode = posixCodeForRefusal(error.payload()); break;
    case AdbClientError::Kind::protocolError: break;
    case AdbClientError::Kind::phoneSilent: bridged.underlyingPosixCode = ETIMEDOUT; break;
    }
    return bridged;
}

ProviderError bridgedError(const LocalFileError &error) { return ProviderError::posix(error.code().value(), error.description()); }
