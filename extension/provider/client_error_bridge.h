#pragma once

#include "extension/adbclient/adb_client_error.h"
#include "extension/adbclient/local_file_error.h"
#include "platform/fileprovider/host/provider_error.h"

#include <QString>

#include <optional>

// The client's errors as the system receives them: in a domain of their
// own, with their own description, and with the POSIX error that best
// names what happened where there is one.
fileprovider::ProviderError bridgedError(const AdbClientError &error);
fileprovider::ProviderError bridgedError(const LocalFileError &error);

inline const QString adbClientErrorDomain = QStringLiteral("AdbClientError");

// The POSIX error behind a refusal text of the server or the phone, such as
// "open failed: Permission denied"; none when the text names no such cause.
std::optional<int> posixCodeForRefusal(const QString &reason);
