#pragma once

#include "extension/adbclient/adb_client_error.h"
#include "extension/adbclient/local_file_error.h"
#include "platform/fileprovider/host/provider_error.h"

#include <QString>

// The client's errors as the system receives them: in a domain of their
// own, with their own description and the POSIX error they carry.
fileprovider::ProviderError bridgedError(const AdbClientError &error);
fileprovider::ProviderError bridgedError(const LocalFileError &error);

inline const QString adbClientErrorDomain = QStringLiteral("AdbClientError");
