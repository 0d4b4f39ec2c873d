#pragma once

#include <QString>

#include <optional>

namespace fileprovider {

// The codes of the file-provider error domain.
// Only those raised here; the platform's other codes have no use on it.
enum class FileProviderErrorCode : int {
    noSuchItem = -1005,
    // The item may not be deleted at all.
    deletionRejected = -1006,
    // The extension does not offer the request.
    featureUnsupported = -2001,
    // The extension offers the request but refuses it for this domain.
    readOnly = -2011,
};

// A failure as the system sees it: a domain, a code within it and the text
// the user is shown. Errors of other layers are bridged into one by the code
// that raised them, keeping their own domain, and may name the POSIX error
// that underlies them.
struct ProviderError {
    QString domain;
    int code = 0;
    QString description;
    std::optional<int> underlyingPosixCode;

    static const QString fileProviderDomain;
    static const QString posixDomain;

    static ProviderError fileProvider(FileProviderErrorCode code);
    static ProviderError posix(int errorNumber, const QString &description = {});

    bool is(FileProviderErrorCode fileProviderCode) const {
        return domain == fileProviderDomain && code == static_cast<int>(fileProviderCode);
    }
};

} // namespace fileprovider
