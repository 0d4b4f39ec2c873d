#include "extension/provider/client_error_bridge.h"

using fileprovider::ProviderError;

ProviderError bridgedError(const AdbClientError &error) {
    return ProviderError{adbClientErrorDomain, static_cast<int>(error.kind()), error.description(), error.errorNumber()};
}

ProviderError bridgedError(const LocalFileError &error) { return ProviderError::posix(error.code().value(), error.description()); }
