#include "platform/fileprovider/host/provider_error.h"

#include <system_error>

namespace fileprovider {

const QString ProviderError::fileProviderDomain = QStringLiteral("FileProviderErrorDomain");
const QString ProviderError::posixDomain = QStringLiteral("PosixErrorDomain");

namespace {

QString describe(FileProviderErrorCode code) {
    switch (code) {
    case FileProviderErrorCode::noSuchItem: return QStringLiteral("The item doesn't exist.");
    case FileProviderErrorCode::deletionRejected: return QStringLiteral("The item cannot be deleted.");
    case FileProviderErrorCode::featureUnsupported: return QStringLiteral("This operation is not supported.");
    case FileProviderErrorCode::readOnly: return QStringLiteral("This location is read-only.");
    }
    return QStringLiteral("Unknown file-provider error.");
}

} // namespace

ProviderError ProviderError::fileProvider(FileProviderErrorCode code) {
    return {fileProviderDomain, static_cast<int>(code), describe(code), std::nullopt};
}

ProviderError ProviderError::posix(int errorNumber, const QString &description) {
    QString text = description.isEmpty() ? QString::fromStdString(std::generic_category().message(errorNumber)) : description;
    return {posixDomain, errorNumber, std::move(text), errorNumber};
}

} // namespace fileprovider
