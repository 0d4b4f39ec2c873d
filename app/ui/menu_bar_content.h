#pragma once

#include "resources/resource_paths.h"

#include <QIcon>
#include <QObject>
#include <QPalette>

#include <functional>
#include <memory>

class QAction;
class QMenu;

// The tray menu: "Open Dorvane", a separator, "Quit Dorvane" (Ctrl+Q).
class MenuBarContent : public QObject {
    Q_OBJECT
public:
    // `openWindow` brings the main window up (a new one if it was closed);
    // `quit` ends the application.
    explicit MenuBarContent(std::function<void()> openWindow, std::function<void()> quit = {},
                            QObject *parent = nullptr);
    ~MenuBarContent() override;

    QMenu *menu() const { return menu_.get(); }
    QAction *openAction() const { return open_; }
    // Also worth adding to the main window, so Ctrl+Q works from there.
    QAction *quitAction() const { return quit_; }

private:
    std::unique_ptr<QMenu> menu_;
    QAction *open_;
    QAction *quit_;
};

// The panel shade a palette suggests: a dark window colour means a dark panel.
resources::PanelShade panelShadeFor(const QPalette &palette);

// The tray icon ("MenuBarIcon") drawn for that panel.
QIcon menuBarIcon(resources::PanelShade panel);
