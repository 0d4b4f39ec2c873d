#pragma once

#include "platform/fileprovider/host/item_identifier.h"

#include <QString>

// The phone folder every domain shows; nothing above it is ever named.
inline const QString deviceRoot = QStringLiteral("/sdcard");

// "/sdcard" for the root container; any other identifier is a device path.
QString devicePathFor(const fileprovider::ItemIdentifier &identifier);
// The identifier that names a device path: the root container for the root.
fileprovider::ItemIdentifier identifierForDevicePath(const QString &devicePath);

// parent + name with exactly one "/" between them when parent has none at
// its end. Nothing else is checked or normalised.
QString childPath(const QString &parent, const QString &name);

// Path-string rules. Trailing slashes are ignored, as on the platform.
QString lastPathComponent(const QString &path);
QString deletingLastPathComponent(const QString &path);
// The text after the last "." of the last component; empty without one.
QString pathExtension(const QString &path);
