#include "platform/fileprovider/host/errno_mapping.h"

#include <cerrno>

namespace fileprovider {

namespace {

int requestErrno(const ProviderError &error) {
    if (error.domain == ProviderError::fileProviderDomain) {
        switch (static_cast<FileProviderErrorCode>(error.code)) {
        case FileProviderErrorCode::noSuchItem: return ENOENT;
        case FileProviderErrorCode::deletionRejected: return EPERM;
        case FileProviderErrorCode::readOnly: return EROFS;
        case FileProviderErrorCode::featureUnsupported: return ENOTSUP;
        }
        return EIO;
    }
    if (error.domain == ProviderError::posixDomain && error.code > 0) return error.code;
    if (error.underlyingPosixCode && *error.underlyingPosixCode > 0) return *error.underlyingPosixCode;
    return EIO;
}

bool isLocalShortage(int errorNumber) {
    return errorNumber == ENOSPC || errorNumber == ENOMEM || errorNumber == EMFILE || errorNumber == ENFILE || errorNumber == ENOBUFS;
}

} // namespace

int errnoFor(const ProviderError &error, Answering answering) {
    const int errorNumber = requestErrno(error);
    if (answering == Answering::read && !isLocalShortage(errorNumber)) return EIO;
    return errorNumber;
}

} // namespace fileprovider
