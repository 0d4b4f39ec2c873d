#include "app/ui/screenshots/screenshot_scenes.h"

#include "app/ui/circle_icon_button.h"
#include "app/ui/connect_guide_view.h"
#include "app/ui/dm_sans.h"
#include "app/ui/onboarding_view.h"
#include "app/ui/page_background.h"
#include "app/ui/palette.h"
#include "app/ui/ph_icon.h"
#include "app/ui/settings_view.h"
#include "app/ui/styled_button.h"
#include "app/ui/text_label.h"
#include "platform/workspace/file_manager_name.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEnterEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>

namespace {

std::unique_ptr<QWidget> page(QWidget *content) {
    content->resize(pageWidth, pageHeight);
    return std::unique_ptr<QWidget>(content);
}

// Lets the hover animation run to its end.
void settle(int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

void hover(QAbstractButton &button) {
    QEnterEvent enter(QPointF(4, 4), QPointF(4, 4), button.mapToGlobal(QPointF(4, 4)));
    QCoreApplication::sendEvent(&button, &enter);
    settle(StyledButton::hoverAnimationMs * 2);
}

enum class Interaction { none, hovered, pressed };

StyledButton *makeButton(bool primary, const QString &text) {
    return primary ? makePrimaryButton(text) : makeSecondaryButton(text);
}

// A button on the window background with room for its shadow.
Scene buttonScene(bool primary, const QString &stateName, Interaction interaction, bool enabled) {
    const QString fileName = QStringLiteral("button-%1-%2.png").arg(primary ? "primary" : "secondary", stateName);
    return {fileName,
            [primary, enabled] {
                auto frame = std::make_unique<QWidget>();
                fillWithPageBackground(frame.get());
                auto *layout = new QHBoxLayout(frame.get());
                layout->setContentsMargins(20, 16, 20, 20);
                StyledButton *button = makeButton(primary, primary ? QStringLiteral("Get Started") : QStringLiteral("Show in ") + fileManagerName());
                button->setEnabled(enabled);
                layout->addWidget(button);
                return frame;
            },
            [interaction](QWidget &frame) {
                auto *button = frame.findChild<StyledButton *>();
                if (interaction != Interaction::none)
                    hover(*button);
                if (interaction == Interaction::pressed)
                    button->setDown(true);
            }};
}

// Every button state side by side, with the icon buttons and the icons.
std::unique_ptr<QWidget> controlSheet() {
    auto sheet = std::make_unique<QWidget>();
    fillWithPageBackground(sheet.get());
    auto *grid = new QGridLayout(sheet.get());
    grid->setContentsMargins(24, 24, 24, 24);
    grid->setHorizontalSpacing(20);
    grid->setVerticalSpacing(18);
    const QStringList states{QStringLiteral("Normal"), QStringLiteral("Hover"), QStringLiteral("Pressed"),
                             QStringLiteral("Disabled")};
    for (int column = 0; column < states.size(); ++column)
        grid->addWidget(makeLabel(states[column], dmSansFont(11, QFont::Medium), Palette::textSecondary), 0, column + 1,
                        Qt::AlignCenter);
    for (int row = 0; row < 3; ++row) {
        const bool primary = row != 1;
        grid->addWidget(makeLabel(primary ? QStringLiteral("Primary") : QStringLiteral("Secondary"),
                                  dmSansFont(11, QFont::Medium), Palette::textSecondary),
                        row + 1, 0);
        for (int column = 0; column < states.size(); ++column) {
            StyledButton *button = row == 2 ? makeButton(true, QStringLiteral("Mount")) : makeButton(primary, primary ? QStringLiteral("Get Started") : QStringLiteral("Connect via Wi-Fi"));
            if (row == 2)
                button->setLeadingIcon(QStringLiteral("hard-drives"), 14);
            if (row == 1)
                button->setLeadingIcon(QStringLiteral("wifi-high"), 14);
            button->setObjectName(states[column]);
            button->setEnabled(column != 3);
            grid->addWidget(button, row + 1, column + 1, Qt::AlignCenter);
        }
    }
    grid->addWidget(makeLabel(QStringLiteral("Icons"), dmSansFont(11, QFont::Medium), Palette::textSecondary), 4, 0);
    auto *icons = new QHBoxLayout;
    icons->setSpacing(14);
    icons->addWidget(new CircleIconButton(QStringLiteral("gear-six"), QStringLiteral("Settings"), {}));
    for (const char *name : {"caret-left", "caret-right", "device-mobile-camera", "eject", "gear-six", "hard-drives",
                             "password", "plugs-connected", "plus", "trash", "usb", "wifi-high"})
        icons->addWidget(new PhIcon(QString::fromLatin1(name), 20, name[0] == 't' ? Palette::danger : Palette::textSoft));
    icons->addStretch(1);
    grid->addLayout(icons, 4, 1, 1, 4);
    return sheet;
}

void prepareControlSheet(QWidget &sheet) {
    const auto buttons = sheet.findChildren<StyledButton *>();
    for (StyledButton *button : buttons) {
        if (button->objectName() == QLatin1String("Hover") || button->objectName() == QLatin1String("Pressed")) {
            QEnterEvent enter(QPointF(4, 4), QPointF(4, 4), button->mapToGlobal(QPointF(4, 4)));
            QCoreApplication::sendEvent(button, &enter);
        }
    }
    settle(StyledButton::hoverAnimationMs * 2);
    for (StyledButton *button : buttons) {
        if (button->objectName() == QLatin1String("Pressed"))
            button->setDown(true);
    }
}

} // namespace

QList<Scene> pageScenes() {
    return {
        {QStringLiteral("onboarding.png"), [] { return page(new OnboardingView([] {})); }, {}},
        {QStringLiteral("guide-chooser.png"), [] { return page(new ConnectGuideView([] {})); }, {}},
        {QStringLiteral("guide-chooser-empty-state.png"), [] { return page(new ConnectGuideView()); }, {}},
        {QStringLiteral("guide-usb.png"),
         [] {
             auto *guide = new ConnectGuideView();
             guide->setGuide(Guide::usb);
             return page(guide);
         },
         {}},
        {QStringLiteral("guide-wifi.png"),
         [] {
             auto *guide = new ConnectGuideView();
             guide->setGuide(Guide::wifi);
             return page(guide);
         },
         {}},
        {QStringLiteral("settings.png"), [] { return page(new SettingsView([] {}, QStringLiteral("Version 0.0.1"))); }, {}},
    };
}

QList<Scene> controlScenes() {
    QList<Scene> scenes;
    for (bool primary : {true, false}) {
        scenes << buttonScene(primary, QStringLiteral("normal"), Interaction::none, true)
               << buttonScene(primary, QStringLiteral("hover"), Interaction::hovered, true)
               << buttonScene(primary, QStringLiteral("pressed"), Interaction::pressed, true)
               << buttonScene(primary, QStringLiteral("disabled"), Interaction::none, false);
    }
    scenes << Scene{QStringLiteral("controls.png"), controlSheet, prepareControlSheet};
    return scenes;
}
