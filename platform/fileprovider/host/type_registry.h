#pragma once

#include "platform/fileprovider/host/content_type.h"

#include <QString>

#include <optional>

namespace fileprovider {

// The shared MIME database, asked by file-name extension.
class TypeRegistry {
public:
    // The type registered for files ending in ".extension" that holds bytes
    // (no folder or other non-file type); none when the registry has no
    // such type, also for an empty extension.
    static std::optional<ContentType> dataTypeForFilenameExtension(const QString &extension);
};

} // namespace fileprovider
