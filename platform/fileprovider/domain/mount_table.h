#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// One line of /proc/self/mountinfo, the fields the layer looks at.
struct MountEntry {
    QString mountPoint;
    QString fileSystemType;
    QString source;

    bool isFuse() const;
};

// Reads the text of /proc/self/mountinfo. Paths come back with the kernel's
// octal escapes (\040 for a blank, ...) decoded; malformed lines are skipped.
QList<MountEntry> parseMountInfo(const QByteArray &text);

// The current mounts of this process's namespace; empty when unreadable.
QList<MountEntry> currentMounts();

// Whether a FUSE file system is mounted exactly at `directory`.
bool isFuseMountedAt(const QList<MountEntry> &mounts, const QString &directory);
bool isMountedAt(const QList<MountEntry> &mounts, const QString &directory);
