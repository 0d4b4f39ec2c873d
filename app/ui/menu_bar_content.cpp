#include "app/ui/menu_bar_content.h"

#include <QAction>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMenu>

namespace {

// Qt matches an action's shortcut only through a window or menu bar that
// owns it; a tray menu has neither, so it runs its items' shortcuts itself.
class TrayMenu final : public QMenu {
protected:
    void keyPressEvent(QKeyEvent *event) override {
        const QKeySequence pressed(event->keyCombination());
        for (QAction *action : actions()) {
            if (action->isEnabled() && !action->shortcut().isEmpty() && action->shortcut() == pressed) {
                close();
                action->trigger();
                return;
            }
        }
        QMenu::keyPressEvent(event);
    }
};

} // namespace

MenuBarContent::MenuBarContent(std::function<void()> openWindow, std::function<void()> quit, QObject *parent)
    : QObject(parent), menu_(std::make_unique<TrayMenu>()) {
    open_ = menu_->addAction(QStringLiteral("Open Dorvane"));
    connect(open_, &QAction::triggered, this, [openWindow = std::move(openWindow)] {
        if (openWindow)
            openWindow();
    });
    menu_->addSeparator();
    quit_ = menu_->addAction(QStringLiteral("Quit Dorvane"));
    quit_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit_->setShortcutContext(Qt::ApplicationShortcut);
    quit_->setMenuRole(QAction::QuitRole);
    if (!quit)
        quit = [] { QCoreApplication::quit(); };
    connect(quit_, &QAction::triggered, this, [quit = std::move(quit)] { quit(); });
}

MenuBarContent::~MenuBarContent() = default;

resources::PanelShade panelShadeFor(const QPalette &palette) {
    return palette.color(QPalette::Window).lightnessF() < 0.5 ? resources::PanelShade::dark
                                                              : resources::PanelShade::light;
}

QIcon menuBarIcon(resources::PanelShade panel) {
    return QIcon(resources::menuBarIconPath(panel));
}
