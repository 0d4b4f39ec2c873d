#include "app/state/dorvane_app.h"

#include "app/adb/adb_locator.h"
#include "app/state/font_registration.h"
#include "app/ui/dark_palette.h"
#include "app/ui/main_window.h"
#include "app/ui/menu_bar_content.h"

#include <QApplication>
#include <QGuiApplication>
#include <QSystemTrayIcon>
#include <QToolTip>

DorvaneApp::DorvaneApp(const QString &resourceDir, QObject *parent)
    : QObject(parent), fonts_(registerFonts(resourceDir)), panel_(panelShadeFor(QGuiApplication::palette())),
      menu_(std::make_unique<MenuBarContent>([this] { openWindow(); }, [] { QCoreApplication::quit(); })) {}

DorvaneApp::~DorvaneApp() {
    delete window_.data();
}

void DorvaneApp::start() {
    const bool trayAvailable = QSystemTrayIcon::isSystemTrayAvailable();
    QApplication::setQuitOnLastWindowClosed(!trayAvailable);
    // Tooltips are windows of their own; they get the window's dark look too.
    QToolTip::setPalette(darkPalette());
    if (trayAvailable) {
        tray_ = std::make_unique<QSystemTrayIcon>(menuBarIcon(panel_));
        tray_->setToolTip(QStringLiteral("Dorvane"));
        tray_->setContextMenu(menu_->menu());
        // A plain click on the icon brings the window, as tray icons on Linux desktops do.
        connect(tray_.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger)
                openWindow();
        });
        tray_->show();
    }
    openWindow();
}

void DorvaneApp::openWindow() {
    if (!window_)
        window_ = new MainWindow(menu_->quitAction());
    window_->show();
    window_->raise();
    window_->activateWindow();
}

QString applicationResourceDirectory() {
    return defaultResourceDirectory();
}
