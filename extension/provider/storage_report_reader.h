#pragma once

#include "platform/fileprovider/host/replicated_extension.h"

#include <QString>

#include <optional>

// The free and total space in the output of `df -k PATH` on the phone; none
// when the output holds no row of figures (for example an error message).
// Rows may be split after a long file-system name, and lines may end in CR LF.
std::optional<fileprovider::StorageSpace> readStorageReport(const QString &output);
