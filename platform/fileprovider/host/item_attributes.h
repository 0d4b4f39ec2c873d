#pragma once

#include "platform/fileprovider/host/item.h"

#include <sys/stat.h>

#include <optional>

namespace fileprovider {

// How long the kernel keeps the items and attributes it is given: short,
// since the phone may change at any time.
inline constexpr double attributeSeconds = 2.0;

// What tools such as cp take as the size of each read and write.
inline constexpr blksize_t preferredTransferSize = 1024 * 1024;

// The attributes the kernel is given for an item. `sizeOverride` replaces
// the item's own size (the size of a downloaded copy).
struct stat attributesFor(const Item &item, uid_t owner, gid_t group, std::optional<qint64> sizeOverride = std::nullopt);

// Seconds since 1970 as a timespec, rounded down to the nanosecond.
struct timespec timespecFor(Timestamp seconds);

} // namespace fileprovider
