#pragma once

#include "platform/posix/file_system_name.h"

#include <QString>

#include <algorithm>

namespace fileprovider {

// Paths as the kernel names them: "/" is the top of the mount.
inline QString mountPathOf(const char *path) { return path ? posix::fileNameFromBytes(path) : QString(); }

inline QString parentMountPath(const QString &mountPath) {
    const qsizetype slash = mountPath.lastIndexOf(u'/');
    return slash <= 0 ? QStringLiteral("/") : mountPath.left(slash);
}

inline QString lastComponent(const QString &mountPath) { return mountPath.mid(mountPath.lastIndexOf(u'/') + 1); }

inline bool isBelow(const QString &path, const QString &folder) {
    const QString prefix = folder.endsWith(u'/') ? folder : folder + u'/';
    return path.startsWith(prefix) && path.size() > prefix.size();
}

// The desktop's trash keeps a mount's trashed files in ".Trash-UID", or a
// shared ".Trash", at the mount's top (the freedesktop.org trash layout).
inline bool isTrashFolder(const QString &mountPath) {
    if (parentMountPath(mountPath) != u'/') return false;
    const QString name = lastComponent(mountPath);
    if (name == u".Trash") return true;
    if (!name.startsWith(u".Trash-") || name.size() == 7) return false;
    return std::all_of(name.begin() + 7, name.end(), [](QChar c) { return c.isDigit(); });
}

} // namespace fileprovider
