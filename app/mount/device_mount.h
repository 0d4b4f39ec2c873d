#pragma once

#include "platform/fileprovider/domain/file_provider_domain.h"

#include <QString>

#include <optional>

enum class MountState { unmounted, mounting, mounted, unmounting };

// Where one phone stands with the file manager. Every change replaces the
// whole value.
struct DeviceMount {
    MountState state = MountState::unmounted;
    // Present while mounted and unmounting: exactly what was added, so an
    // unmount removes that and nothing else.
    std::optional<FileProviderDomain> domain;
    // The folder that shows the phone, when the layer told it.
    std::optional<QString> mountPoint;
    // Why the last mount failed; gone once a new mount starts.
    std::optional<QString> error;

    friend bool operator==(const DeviceMount &, const DeviceMount &) = default;
};
