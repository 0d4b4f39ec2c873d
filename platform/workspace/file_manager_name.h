#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// The name the desktop gives its file manager ("Files" on GNOME, "Dolphin"
// on KDE), for the texts that send the user there.

inline const QString fallbackFileManagerName = QStringLiteral("the file manager");

// The Name of the [Desktop Entry] group of a .desktop file's text; empty when
// it has none. Translated Name[xx] keys are passed over: every other text of
// the app is English.
QString desktopEntryName(const QByteArray &entry);

// The file of a desktop file id in the "applications" folders of
// `dataDirectories`, the first found; a "-" of the id may stand for a
// subfolder ("kde-dolphin.desktop" in kde/dolphin.desktop).
std::optional<QString> findDesktopEntry(const QString &desktopId, const QStringList &dataDirectories);

// $XDG_DATA_HOME, then $XDG_DATA_DIRS, with their defaults.
QStringList xdgDataDirectories();

// Asks xdg-mime for the default application of folders and reads its entry;
// the fallback when any step fails. Runs a process: not for the UI thread.
QString lookUpFileManagerName();

// Looked up once per process, on a thread of its own, from the first call of
// either; fileManagerName waits for that lookup, so start it early.
void startResolvingFileManagerName();
QString fileManagerName();
// Takes `name` instead of asking the desktop, for pictures of the window made
// away from any desktop. No effect once the name was looked up.
void useFileManagerName(const QString &name);
