#include "platform/fileprovider/host/contents_file.h"

#include <sys/stat.h>

namespace fileprovider {

std::optional<qint64> ContentsFile::fileSize() const {
    struct stat status{};
    if (::fstat(descriptor(), &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;
    return qint64(status.st_size);
}

} // namespace fileprovider
