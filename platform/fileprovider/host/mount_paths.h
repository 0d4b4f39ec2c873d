#pragma once

#include <QString>

namespace fileprovider {

// Paths as the kernel names them: "/" is the top of the mount.
inline QString mountPathOf(const char *path) { return path ? QString::fromUtf8(path) : QString(); }

inline QString parentMountPath(const QString &mountPath) {
    const qsizetype slash = mountPath.lastIndexOf(u'/');
    return slash <= 0 ? QStringLiteral("/") : mountPath.left(slash);
}

inline QString lastComponent(const QString &mountPath) { return mountPath.mid(mountPath.lastIndexOf(u'/') + 1); }

inline bool isBelow(const QString &path, const QString &folder) {
    const QString prefix = folder.endsWith(u'/') ? folder : folder + u'/';
    return path.startsWith(prefix) && path.size() > prefix.size();
}

} // namespace fileprovider
