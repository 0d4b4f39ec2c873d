#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The phone's media index (what its gallery shows) is not told of files
// written through adb; it is asked to scan them with a shell command, one
// of two kinds depending on the Android version.

// What the commands need of the phone, asked once a mount.
struct MediaIndexSetup {
    int sdk = 0;           // ro.build.version.sdk: 30 is Android 11
    QString storageRoot;   // /sdcard resolved: the path the index knows
};
QString mediaIndexSetupCommand();
// Its output: the SDK level, then the resolved path. Old phones end lines
// with CR LF. None when either is not what a phone prints.
std::optional<MediaIndexSetup> readMediaIndexSetup(const QString &output);

// From Android 11 a rename or delete through the shell updates the index by
// itself; before, their paths must be scanned too (a gone path drops out).
bool scansMovesAndDeletes(const MediaIndexSetup &setup);
// Only the newer command scans a whole folder.
bool scansFolders(const MediaIndexSetup &setup);
// Dot files are not media, and hidden upload names never are.
bool isMediaCandidate(const QString &devicePath);

// The commands for these device paths (under /sdcard), joined into shell
// lines of at most `longest` bytes each, so that none exceeds what an old
// phone takes in one request.
QStringList mediaScanCommandLines(const MediaIndexSetup &setup, const QStringList &devicePaths, qsizetype longest = 3000);
// Whether the phone carried the commands out rather than printing an error.
bool mediaScanAccepted(const MediaIndexSetup &setup, const QString &output);

// PATH as a file: URI wants it: every byte but unreserved ones and "/" as %XX.
QString fileUriOf(const QString &path);
