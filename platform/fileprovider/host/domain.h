#pragma once

#include <QString>

namespace fileprovider {

// One location the system shows, served by one extension instance.
struct Domain {
    QString identifier;
    QString displayName;
};

} // namespace fileprovider
