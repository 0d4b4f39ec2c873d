// The instructional pages and the tray menu as a user meets them: every text,
// the step numbers, where "Back" shows and what it does, and the callbacks.
#include "tests/app/ui/ui_test_support.h"

#include "app/ui/back_button.h"
#include "app/ui/connect_guide_view.h"
#include "app/ui/guide_option_card.h"
#include "app/ui/guide_step_row.h"
#include "app/ui/menu_bar_content.h"
#include "app/ui/onboarding_view.h"
#include "app/ui/ph_icon.h"
#include "app/ui/settings_view.h"
#include "app/ui/styled_button.h"
#include "app/ui/svg_artwork.h"

#include "platform/workspace/file_manager_name.h"
#include "resources/resource_paths.h"

#include <QAction>
#include <QMenu>
#include <QWindow>
#include <QTest>

#include <gtest/gtest.h>

namespace {

QString text(const char *utf8) {
    return QString::fromUtf8(utf8);
}

class PagesTest : public ::testing::Test {
protected:
    void SetUp() override { registerBuildTreeFonts(); }
};

void click(QAbstractButton *button) {
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(button->isVisible());
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(button->width() / 2, button->height() / 2));
}

GuideOptionCard *cardFor(const ConnectGuideView &view, Guide guide) {
    for (GuideOptionCard *card : view.findChildren<GuideOptionCard *>())
        if (card->guide() == guide && card->isVisible())
            return card;
    return nullptr;
}

// The texts shown on the steps page, header first, as the reader meets them.
QStringList visibleStepTexts(const ConnectGuideView &view) {
    QStringList texts;
    for (const QLabel *label : view.findChildren<QLabel *>())
        if (label->isVisible())
            texts << label->text();
    return texts;
}

QList<int> visibleBadgeNumbers(const ConnectGuideView &view) {
    QList<int> numbers;
    for (const StepBadge *badge : view.findChildren<StepBadge *>())
        if (badge->isVisible())
            numbers << badge->number();
    return numbers;
}

struct ShownGuide {
    explicit ShownGuide(std::function<void()> onClose = {}) : view(std::move(onClose)) {
        view.resize(560, 660);
        view.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&view));
    }
    ConnectGuideView view;
};

// ---- connection guide ----

TEST_F(PagesTest, ChooserShowsItsHeaderAndBothOptions) {
    ShownGuide shown([] {});
    const QStringList texts = visibleStepTexts(shown.view);
    EXPECT_EQ(texts, (QStringList{text("Connect your phone"), text("Choose how you'd like to connect."),
                                  text("Connect with USB"), text("Fastest and most reliable"),
                                  text("Connect with Wi-Fi"), text("Cable-free, after a one-time setup")}));
    QStringList icons;
    for (const PhIcon *icon : shown.view.findChildren<PhIcon *>())
        if (icon->isVisible())
            icons << icon->iconName();
    EXPECT_EQ(icons, (QStringList{text("plugs-connected"), text("usb"), text("caret-right"), text("wifi-high"),
                                  text("caret-right")}));
    // The option cards stay within 420 points however wide the window.
    shown.view.resize(1000, 700);
    QApplication::processEvents();
    EXPECT_LE(cardFor(shown.view, Guide::usb)->width(), 420);
}

TEST_F(PagesTest, UsbGuideShowsItsFourStepsNumberedByPosition) {
    ShownGuide shown;
    click(cardFor(shown.view, Guide::usb));
    ASSERT_EQ(shown.view.guide(), Guide::usb);
    EXPECT_EQ(visibleStepTexts(shown.view),
              (QStringList{
                  text("Connect with USB"), text("Four quick steps over a cable."),
                  text("Enable Developer Options"),
                  text("On your phone, open Settings → About phone, then tap “Build number” 7 times."),
                  text("Turn on USB debugging"),
                  text("Go to Settings → System → Developer options and enable “USB debugging”."),
                  text("Connect the cable"), text("Plug your phone into your computer with a USB cable."),
                  text("Allow the connection"),
                  text("On your phone, tap “Allow” when asked to trust this computer. Your device appears here."),
              }));
    EXPECT_EQ(visibleBadgeNumbers(shown.view), (QList<int>{1, 2, 3, 4}));
}

TEST_F(PagesTest, WifiGuideShowsItsFourStepsNumberedByPosition) {
    ShownGuide shown;
    click(cardFor(shown.view, Guide::wifi));
    ASSERT_EQ(shown.view.guide(), Guide::wifi);
    EXPECT_EQ(visibleStepTexts(shown.view),
              (QStringList{
                  text("Connect with Wi-Fi"), text("A one-time setup, then go wireless."),
                  text("Connect via USB first"),
                  text("Wireless needs a one-time USB setup — follow the “Connect with USB” steps."),
                  text("Join the same Wi-Fi"), text("Make sure your phone and computer are on the same Wi-Fi network."),
                  text("Tap “Connect via Wi-Fi”"),
                  text("Once the device shows up over USB, click the “Connect via Wi-Fi” button on it."),
                  text("Unplug the cable"), text("Your phone stays connected wirelessly — no cable needed."),
              }));
    EXPECT_EQ(visibleBadgeNumbers(shown.view), (QList<int>{1, 2, 3, 4}));
}

TEST_F(PagesTest, WithoutOnCloseTheChooserHasNoBackButTheStepsDo) {
    ShownGuide shown;
    EXPECT_FALSE(shown.view.backButton()->isVisible());

    click(cardFor(shown.view, Guide::wifi));
    ASSERT_TRUE(shown.view.backButton()->isVisible());
    EXPECT_EQ(shown.view.backButton()->text(), text("Back"));

    // Back on the steps returns to the chooser, which again has no Back.
    click(shown.view.backButton());
    EXPECT_EQ(shown.view.guide(), std::nullopt);
    EXPECT_NE(cardFor(shown.view, Guide::usb), nullptr);
    EXPECT_FALSE(shown.view.backButton()->isVisible());
    EXPECT_TRUE(visibleBadgeNumbers(shown.view).isEmpty());
}

TEST_F(PagesTest, BackOnTheStepsNeverClosesOnlyBackOnTheChooserDoes) {
    int closes = 0;
    ShownGuide shown([&closes] { ++closes; });
    EXPECT_TRUE(shown.view.backButton()->isVisible());

    for (Guide guide : {Guide::usb, Guide::wifi}) {
        click(cardFor(shown.view, guide));
        ASSERT_EQ(shown.view.guide(), guide);
        click(shown.view.backButton());
        EXPECT_EQ(shown.view.guide(), std::nullopt);
        EXPECT_EQ(closes, 0);
    }

    click(shown.view.backButton());
    EXPECT_EQ(closes, 1);
    // Closing is the presenter's business; the guide stays on its chooser.
    EXPECT_EQ(shown.view.guide(), std::nullopt);
}

TEST_F(PagesTest, EachOpeningOfTheGuideStartsAtTheChooser) {
    ShownGuide first;
    click(cardFor(first.view, Guide::usb));
    ShownGuide second;
    EXPECT_EQ(second.view.guide(), std::nullopt);
    EXPECT_NE(cardFor(second.view, Guide::wifi), nullptr);
}

// ---- onboarding ----

TEST_F(PagesTest, OnboardingShowsItsWelcomeAndThreeSteps) {
    OnboardingView view([] {});
    view.resize(560, 660);
    view.show();
    EXPECT_EQ(labelTexts(view),
              (QStringList{text("Welcome to Dorvane"), "Access your Android phone right inside " + fileManagerName() + ".",
                           text("Enable USB debugging"),
                           text("On your phone: Settings → Developer Options → USB debugging."),
                           text("Connect via USB"), text("Plug your phone into your computer with a USB cable."),
                           "Mount in " + fileManagerName(), text("Tap “Allow” on your phone, then press Mount.")}));
    QStringList icons;
    for (const PhIcon *icon : view.findChildren<PhIcon *>())
        icons << icon->iconName();
    EXPECT_EQ(icons, (QStringList{text("gear-six"), text("usb"), text("hard-drives")}));
    const SvgArtwork *appIcon = view.findChild<SvgArtwork *>();
    ASSERT_NE(appIcon, nullptr);
    EXPECT_EQ(appIcon->size(), QSize(96, 96));
    EXPECT_EQ(view.getStartedButton()->text(), text("Get Started"));
}

TEST_F(PagesTest, GetStartedCallsItsCallbackOncePerPress) {
    int calls = 0;
    OnboardingView view([&calls] { ++calls; });
    view.resize(560, 660);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    EXPECT_EQ(calls, 0);
    click(view.getStartedButton());
    EXPECT_EQ(calls, 1);
    // Full width of its 320-point column.
    EXPECT_EQ(view.getStartedButton()->width(), 320);
}

// ---- settings ----

TEST_F(PagesTest, SettingsShowsTheAppAndItsVersionAndGoesBack) {
    int backs = 0;
    SettingsView view([&backs] { ++backs; }, text("Version 0.0.1"));
    view.resize(560, 660);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    EXPECT_EQ(labelTexts(view), (QStringList{text("Dorvane"), text("Version 0.0.1")}));
    const SvgArtwork *appIcon = view.findChild<SvgArtwork *>();
    ASSERT_NE(appIcon, nullptr);
    EXPECT_EQ(appIcon->size(), QSize(80, 80));
    EXPECT_EQ(appIcon->resourcePath(), resources::appIconPath());
    EXPECT_EQ(view.backButton()->text(), text("Back"));
    click(view.backButton());
    EXPECT_EQ(backs, 1);
}

// ---- tray menu ----

TEST_F(PagesTest, TrayMenuOpensTheWindowAndQuitsWithCtrlQ) {
    int opens = 0;
    int quits = 0;
    MenuBarContent content([&opens] { ++opens; }, [&quits] { ++quits; });
    const QList<QAction *> items = content.menu()->actions();
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items[0]->text(), text("Open Dorvane"));
    EXPECT_TRUE(items[1]->isSeparator());
    EXPECT_EQ(items[2]->text(), text("Quit Dorvane"));
    EXPECT_EQ(items[2]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    EXPECT_EQ(items[2]->shortcut().toString(), text("Ctrl+Q"));

    items[0]->trigger();
    EXPECT_EQ(opens, 1);
    EXPECT_EQ(quits, 0);
    items[2]->trigger();
    EXPECT_EQ(quits, 1);
}

TEST_F(PagesTest, CtrlQInTheOpenMenuQuits) {
    int quits = 0;
    MenuBarContent content({}, [&quits] { ++quits; });
    content.menu()->popup(QPoint(10, 10));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(content.menu()));
    // Through the window, as a real key press arrives, so the shortcut map sees it.
    QTest::keyClick(content.menu()->windowHandle(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(quits, 1);
}

TEST_F(PagesTest, TrayIconHasAGlyphForDarkAndForLightPanels) {
    for (resources::PanelShade panel : {resources::PanelShade::dark, resources::PanelShade::light}) {
        const QImage image = menuBarIcon(panel).pixmap(QSize(22, 22), 2.0).toImage();
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.size(), QSize(44, 44));
        // The glyph's own colour: light on a dark panel, dark on a light one.
        int lightest = 0;
        int darkest = 255;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixelColor(x, y).alpha() == 255) {
                    lightest = std::max(lightest, image.pixelColor(x, y).lightness());
                    darkest = std::min(darkest, image.pixelColor(x, y).lightness());
                }
        if (panel == resources::PanelShade::dark)
            EXPECT_GT(darkest, 200);
        else
            EXPECT_LT(lightest, 80);
    }
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x20, 0x20, 0x20));
    EXPECT_EQ(panelShadeFor(dark), resources::PanelShade::dark);
    QPalette light;
    light.setColor(QPalette::Window, QColor(0xF0, 0xF0, 0xF0));
    EXPECT_EQ(panelShadeFor(light), resources::PanelShade::light);
}

} // namespace
