#pragma once

#include "platform/workspace/workspace.h"

#include <QObject>

// Opens through QDesktopServices (xdg-open); reveals through the file
// manager's D-Bus interface org.freedesktop.FileManager1, falling back to
// opening the parent folder when no file manager answers.
class DesktopWorkspace : public QObject, public Workspace {
    Q_OBJECT

public:
    explicit DesktopWorkspace(QObject *parent = nullptr);

    void open(const QString &path) override;
    void reveal(const QString &path) override;

    // A graphical session: an X11 or Wayland display.
    static bool desktopPresent();
};
