#include "platform/fileprovider/domain/file_provider_error.h"

#include <utility>

FileProviderError::FileProviderError(Kind kind, QString description)
    : kind_(kind), description_(std::move(description)), what_(description_.toStdString()) {}
