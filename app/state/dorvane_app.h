#pragma once

#include "app/ui/main_window.h"
#include "resources/resource_paths.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class MenuBarContent;
class QSystemTrayIcon;

// The running application: the DM Sans faces, one main window at a time and
// the tray icon with its menu. Closing the window keeps the process and the
// tray icon; "Open Dorvane" brings a fresh window (new model, new mount
// service); "Quit Dorvane" ends the event loop. Without a system tray there
// is no way back to a closed window, so closing it quits.
class DorvaneApp : public QObject {
    Q_OBJECT
public:
    // Registers the fonts from `resourceDir` and notes the desktop panel's
    // shade for the tray icon, before the app's own look changes the palette.
    // Shows nothing yet.
    explicit DorvaneApp(const QString &resourceDir, QObject *parent = nullptr);
    ~DorvaneApp() override;

    // Puts the icon in the tray (where there is one) and opens the window.
    void start();

    // Raises the window, or makes a new one if it was closed.
    void openWindow();

    MainWindow *window() const { return window_; }
    MenuBarContent &menu() const { return *menu_; }
    // Null where the desktop has no system tray.
    QSystemTrayIcon *trayIcon() const { return tray_.get(); }
    const QStringList &registeredFontFiles() const { return fonts_; }

private:
    QStringList fonts_;
    resources::PanelShade panel_;
    std::unique_ptr<MenuBarContent> menu_;
    std::unique_ptr<QSystemTrayIcon> tray_;
    QPointer<MainWindow> window_;
};

// share/dorvane beside the program's bin/ folder.
QString applicationResourceDirectory();
