// The main window's content as a user goes through it: first launch, the
// empty list, a phone turning up, the guide and settings and back, and the
// device screen's loop, against the real adb server (behind a recording
// wrapper), emulated phones and the stand-in FUSE host.
#include "tests/app/ui/ui_test_support.h"
#include "tests/app/ui/window_test_support.h"

#include "app/mount/mount_service.h"
#include "app/state/app_view_model.h"
#include "app/ui/add_device_card.h"
#include "app/ui/back_button.h"
#include "app/ui/circle_icon_button.h"
#include "app/ui/connect_guide_view.h"
#include "app/ui/content_view.h"
#include "app/ui/device_card.h"
#include "app/ui/device_screen.h"
#include "app/ui/onboarding_view.h"
#include "app/ui/palette.h"
#include "app/ui/remove_button.h"
#include "app/ui/settings_view.h"
#include "app/ui/styled_button.h"
#include "app/ui/window_configurator.h"
#include "tests/platform/fileprovider/domain/domain_test_support.h"
#include "tests/support/adb_server.h"
#include "tests/support/phone_sim.h"
#include "tests/support/run_task.h"

#include <QPointer>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using Page = ContentView::Page;
using windowtest::click;
using namespace std::chrono_literals;

// Long enough for a poll that would be due: the loop waits 3 seconds.
constexpr auto pastOnePoll = 3500ms;

void spin(std::chrono::milliseconds duration) {
    testsupport::waitUntil([] { return false; }, duration);
}

class ContentViewTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { domaintest::adoptOrphans(); }

    void SetUp() override {
        registerBuildTreeFonts();
        testsupport::startAdbServer();
        adb_.listOnly({});
    }

    void TearDown() override {
        view_.reset();
        FileProviderManager cleaner(sandbox_.settings());
        for (const FileProviderDomain &domain : testsupport::runTask(cleaner.domains()))
            testsupport::runTask(cleaner.removeDomain(domain));
        EXPECT_EQ(sandbox_.leftovers(), QStringList());
    }

    ContentView &showView() {
        view_ = std::make_unique<ContentView>(std::make_unique<AppViewModel>(adb_.service()),
                                              std::make_unique<MountService>(adb_.service(), domains_, workspace_));
        view_->resize(560, 660);
        view_->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(view_.get()));
        return *view_;
    }

    DeviceScreen *screen() const { return qobject_cast<DeviceScreen *>(view_->currentPage()); }

    // The first scan of a freshly shown device screen has finished.
    bool waitForFirstScan() {
        return testsupport::waitUntil(
            [&] { return adb_.countCalls("devices") > 0 && !view_->model().isBusy(); }, 20s);
    }

    bool waitForCard(const QString &serial, std::chrono::milliseconds limit = 20s) {
        return testsupport::waitUntil([&] { return screen() && screen()->cardFor(serial); }, limit);
    }

    std::unique_ptr<testsupport::PhoneSim> attachPhone() {
        testsupport::PhoneSimOptions options;
        options.folder = phoneFolder_.path();
        options.model = "Pixel_7";
        auto phone = std::make_unique<testsupport::PhoneSim>(options);
        adb_.listOnly({phone->serial()});
        return phone;
    }

    windowtest::PrivateSettings settings_;
    domaintest::DomainSandbox sandbox_;
    windowtest::RecordingAdb adb_;
    testsupport::TempFolder phoneFolder_;
    std::shared_ptr<windowtest::NotingWorkspace> workspace_ = std::make_shared<windowtest::NotingWorkspace>();
    std::shared_ptr<FileProviderManager> domains_ = std::make_shared<FileProviderManager>(sandbox_.settings());
    std::unique_ptr<ContentView> view_;
};

TEST_F(ContentViewTest, firstLaunchShowsTheOnboardingAndScansOnlyAfterGetStarted) {
    ContentView &view = showView();
    ASSERT_EQ(view.page(), Page::onboarding);
    spin(1000ms);
    EXPECT_EQ(adb_.countCalls("devices"), 0) << adb_.calls().join(", ").toStdString();
    EXPECT_EQ(settings_.storedOnboardingFlag(), std::nullopt);

    click(qobject_cast<OnboardingView *>(view.currentPage())->getStartedButton());
    EXPECT_EQ(view.page(), Page::deviceScreen);
    EXPECT_EQ(settings_.storedOnboardingFlag(), true) << "stored at once";
    EXPECT_TRUE(waitForFirstScan());

    // The next window starts on the device screen.
    showView();
    EXPECT_EQ(view_->page(), Page::deviceScreen);
}

TEST_F(ContentViewTest, withoutPhonesTheGuideHasNoWayBackUntilAPhoneTurnsUpAtALaterPoll) {
    settings_.setOnboardingDone(true);
    ContentView &view = showView();
    ASSERT_EQ(view.page(), Page::deviceScreen);
    ASSERT_TRUE(waitForFirstScan());
    ASSERT_TRUE(screen()->showsEmptyState());
    EXPECT_FALSE(screen()->emptyState()->backButton()->isVisible());
    EXPECT_TRUE(screen()->settingsButton()->isVisible());
    EXPECT_EQ(screen()->settingsButton()->toolTip().toStdString(), "Settings");
    EXPECT_EQ(screen()->settingsButton()->iconName().toStdString(), "gear-six");
    // 14 from the top, 16 from the right edge.
    EXPECT_EQ(screen()->settingsButton()->geometry().top(), 14);
    EXPECT_EQ(screen()->width() - screen()->settingsButton()->geometry().right() - 1, 16);

    const auto phone = attachPhone();
    ASSERT_TRUE(waitForCard(phone->serial(), 10s));
    EXPECT_FALSE(screen()->showsEmptyState());
    EXPECT_TRUE(screen()->addCard()->isVisible());
    EXPECT_EQ(screen()->cards().size(), 1);
    EXPECT_EQ(screen()->cardFor(phone->serial())->name().toStdString(), "Pixel 7");
}

TEST_F(ContentViewTest, theGuideFromConnectAnotherDeviceGoesBackToACleanedUpScannedList) {
    const QString reason = domaintest::fuseUnusableReason();
    if (!reason.isEmpty()) GTEST_SKIP() << reason.toStdString();
    settings_.setOnboardingDone(true);
    const auto phone = attachPhone();
    ContentView &view = showView();
    ASSERT_TRUE(waitForCard(phone->serial()));
    click(screen()->cardFor(phone->serial())->mountButton());
    ASSERT_TRUE(testsupport::waitUntil(
        [&] { return view.mount().mountOf(phone->serial()).state == MountState::mounted; }, 20s));

    click(screen()->addCard());
    ASSERT_EQ(view.page(), Page::connectGuide);
    auto *guide = qobject_cast<ConnectGuideView *>(view.currentPage());
    ASSERT_NE(guide, nullptr);
    EXPECT_TRUE(guide->backButton()->isVisible());
    // Away from the device screen nothing polls, and the mount stays.
    const int scansBefore = adb_.countCalls("devices");
    spin(pastOnePoll);
    EXPECT_EQ(adb_.countCalls("devices"), scansBefore);
    EXPECT_EQ(testsupport::runTask(domains_->domains()).size(), 1);

    click(guide->backButton());
    ASSERT_EQ(view.page(), Page::deviceScreen);
    ASSERT_TRUE(testsupport::waitUntil([&] { return adb_.countCalls("devices") > scansBefore; }, 20s));
    EXPECT_TRUE(testsupport::runTask(domains_->domains()).isEmpty()) << "the clean-up came before the scan";
    EXPECT_TRUE(view.mount().mounts().isEmpty());
    ASSERT_TRUE(waitForCard(phone->serial()));
    EXPECT_TRUE(screen()->cardFor(phone->serial())->mountButton()->isVisible());
}

TEST_F(ContentViewTest, settingsOpensFromTheGearAndGoesBackToTheDeviceScreen) {
    settings_.setOnboardingDone(true);
    ContentView &view = showView();
    ASSERT_TRUE(waitForFirstScan());
    click(screen()->settingsButton());
    ASSERT_EQ(view.page(), Page::settings);
    EXPECT_TRUE(labelTexts(*view.currentPage()).contains("Version 0.0.1"));
    click(qobject_cast<SettingsView *>(view.currentPage())->backButton());
    EXPECT_EQ(view.page(), Page::deviceScreen);
    // Settings win over the guide while both are asked for.
    view.setShowConnectGuide(true);
    view.setShowSettings(true);
    EXPECT_EQ(view.page(), Page::settings);
    view.setShowSettings(false);
    EXPECT_EQ(view.page(), Page::connectGuide);
}

TEST_F(ContentViewTest, removingACablePhoneTakesItsCardAwayForGood) {
    settings_.setOnboardingDone(true);
    const auto phone = attachPhone();
    ContentView &view = showView();
    ASSERT_TRUE(waitForCard(phone->serial()));
    QPointer<DeviceCard> card = screen()->cardFor(phone->serial());
    click(card->removeButton());
    EXPECT_EQ(screen()->cardFor(phone->serial()), nullptr);
    // Deleted once the event loop is back, not inside its own click.
    EXPECT_FALSE(card.isNull());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(card.isNull());
    EXPECT_TRUE(screen()->showsEmptyState());
    spin(pastOnePoll);
    EXPECT_EQ(screen()->cardFor(phone->serial()), nullptr) << "still listed, still hidden";
    EXPECT_TRUE(view.model().removedSerials().contains(phone->serial()));
}

TEST_F(ContentViewTest, closingTheWindowEndsTheLoop) {
    settings_.setOnboardingDone(true);
    showView();
    ASSERT_TRUE(waitForFirstScan());
    spin(pastOnePoll);
    const int polled = adb_.countCalls("devices");
    EXPECT_GE(polled, 2) << "the loop polls while shown";
    view_->close();
    spin(pastOnePoll);
    EXPECT_EQ(adb_.countCalls("devices"), polled);
    view_.reset();
    spin(pastOnePoll);
    EXPECT_EQ(adb_.countCalls("devices"), polled);
}

TEST_F(ContentViewTest, theContentAsksForItsSizesAndDarkensItsWindow) {
    QWidget window;
    QPalette light;
    light.setColor(QPalette::Window, Qt::white);
    light.setColor(QPalette::WindowText, Qt::black);
    window.setPalette(light);
    auto *content = new ContentView(std::make_unique<AppViewModel>(adb_.service()),
                                    std::make_unique<MountService>(adb_.service(), domains_, workspace_), &window);
    EXPECT_EQ(content->minimumSizeHint(), QSize(480, 540));
    EXPECT_EQ(content->sizeHint(), QSize(560, 660));
    window.show();
    ASSERT_TRUE(testsupport::waitUntil([&] { return content->configurator()->configuredCount() > 0; }));
    EXPECT_EQ(window.palette().color(QPalette::Window), Palette::background);
    EXPECT_EQ(window.palette().color(QPalette::Text), Palette::textPrimary);

    // A configurator gone before its step leaves the window alone.
    auto *late = new WindowConfigurator(&window);
    delete late;
    QCoreApplication::processEvents();
}

} // namespace
