#include "platform/fileprovider/host/item_attributes.h"

#include <cmath>
#include <limits>

namespace fileprovider {

namespace {

mode_t permissionsFor(ItemCapabilities capabilities, bool folder) {
    mode_t mode = 0;
    if (capabilities & ItemCapability::allowsReading) mode |= folder ? 0555 : 0444;
    if (capabilities & ItemCapability::allowsWriting) mode |= 0200;
    return mode;
}

} // namespace

struct timespec timespecFor(Timestamp seconds) {
    struct timespec result{};
    if (!std::isfinite(seconds)) return result;
    constexpr double limit = static_cast<double>(std::numeric_limits<time_t>::max());
    const double whole = std::floor(seconds);
    if (whole >= limit || whole <= -limit) return result;
    result.tv_sec = static_cast<time_t>(whole);
    long nanoseconds = static_cast<long>((seconds - whole) * 1e9);
    result.tv_nsec = std::min(nanoseconds, 999'999'999L);
    return result;
}

struct stat attributesFor(const Item &item, uid_t owner, gid_t group, std::optional<qint64> sizeOverride) {
    struct stat attributes{};
    const bool folder = item.isFolder();
    attributes.st_mode = (folder ? S_IFDIR : S_IFREG) | permissionsFor(item.capabilities(), folder);
    // 1 tells tools such as find that the number of subfolders is unknown.
    attributes.st_nlink = 1;
    attributes.st_uid = owner;
    attributes.st_gid = group;
    const qint64 size = folder ? 0 : std::max<qint64>(0, sizeOverride.value_or(item.documentSize().value_or(0)));
    attributes.st_size = size;
    // Whole blocks, so that no tool takes the file for a sparse one and
    // skips what it thinks are holes.
    attributes.st_blocks = (size + 511) / 512;
    attributes.st_blksize = preferredTransferSize;
    const struct timespec modified = timespecFor(item.contentModificationDate().value_or(0));
    attributes.st_mtim = modified;
    attributes.st_ctim = modified;
    attributes.st_atim = modified;
    return attributes;
}

} // namespace fileprovider
