#include "app/ui/window_configurator.h"

#include "app/ui/dark_palette.h"
#include "app/ui/palette.h"

#include <QEvent>
#include <QTimer>

WindowConfigurator::WindowConfigurator(QWidget *parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setFixedSize(0, 0);
    scheduleStep();
}

bool WindowConfigurator::event(QEvent *event) {
    if (event->type() == QEvent::ParentChange || event->type() == QEvent::Show)
        scheduleStep();
    return QWidget::event(event);
}

void WindowConfigurator::scheduleStep() {
    if (scheduled_)
        return;
    scheduled_ = true;
    // With this object as the context, a helper destroyed first drops the step.
    QTimer::singleShot(0, this, [this] {
        scheduled_ = false;
        step();
    });
}

void WindowConfigurator::step() {
    QWidget *target = window();
    if (target == this)
        return;
    QPalette colors = darkPalette();
    colors.setColor(QPalette::Window, Palette::background);
    target->setPalette(colors);
    target->setAutoFillBackground(true);
    ++configured_;
}
