// A device card as the user meets it: what it says and offers for each kind
// of phone, its name field, and the buttons driving a real mount service
// (the stand-in FUSE host) and a real view model (the adb server and
// emulated phones).
#include "tests/app/ui/ui_test_support.h"
#include "tests/app/ui/window_test_support.h"

#include "app/mount/mount_service.h"
#include "app/state/app_view_model.h"
#include "app/ui/busy_indicator.h"
#include "app/ui/card_parts.h"
#include "app/ui/device_card.h"
#include "app/ui/device_screen.h"
#include "app/ui/palette.h"
#include "app/ui/ph_icon.h"
#include "app/ui/remove_button.h"
#include "app/ui/styled_button.h"
#include "tests/platform/fileprovider/domain/domain_test_support.h"
#include "tests/support/adb_server.h"
#include "tests/support/phone_sim.h"
#include "tests/support/run_task.h"

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>

namespace {

using State = AndroidDevice::State;
using windowtest::click;

std::string text(const QString &value) {
    return value.toStdString();
}

class DeviceCardTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { domaintest::adoptOrphans(); }

    void SetUp() override { registerBuildTreeFonts(); }

    void TearDown() override {
        if (mount_) testsupport::runTask(mount_->removeAllDomains());
        EXPECT_EQ(sandbox_.leftovers(), QStringList());
    }

    // A card on its own, shown at the width the window gives it.
    std::unique_ptr<DeviceCard> showCard(const AndroidDevice &device) {
        auto card = std::make_unique<DeviceCard>(device, model_, *mount_);
        card->resize(516, card->sizeHint().height());
        card->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(card.get()));
        return card;
    }

    bool waitForMount(const QString &serial, MountState state) {
        return testsupport::waitUntil([&] { return mount_->mountOf(serial).state == state; }, std::chrono::seconds(20));
    }

    static QStringList shownLabelTexts(const DeviceCard &card) {
        QStringList texts;
        for (const QLabel *label : card.findChildren<QLabel *>())
            if (label->isVisible()) texts << label->text();
        return texts;
    }

    domaintest::DomainSandbox sandbox_;
    std::shared_ptr<AdbService> adb_ = std::make_shared<AdbService>();
    AppViewModel model_{adb_};
    std::shared_ptr<windowtest::NotingWorkspace> workspace_ = std::make_shared<windowtest::NotingWorkspace>();
    std::shared_ptr<FileProviderManager> domains_ = std::make_shared<FileProviderManager>(sandbox_.settings());
    std::unique_ptr<MountService> mount_ = std::make_unique<MountService>(adb_, domains_, workspace_);
};

TEST_F(DeviceCardTest, anUnauthorizedCablePhoneWaitsForAllowAndCanOnlyBeRemoved) {
    const auto card = showCard({"R5CT1234567", "Galaxy_S23", State::unauthorized});
    EXPECT_EQ(text(card->badge()->text()), "ADB");
    EXPECT_EQ(text(card->tileIcon()->iconName()), "device-mobile-camera");
    EXPECT_EQ(text(card->statusLabel()->text()), "Tap \u201CAllow\u201D on phone");
    EXPECT_EQ(card->statusDot()->color(), Palette::warning);
    EXPECT_EQ(text(card->serialLabel()->text()), "R5CT1234567");
    EXPECT_EQ(text(card->storageLabel()->text()), "\u2014");

    EXPECT_TRUE(card->removeButton()->isVisible());
    EXPECT_EQ(text(card->removeButton()->toolTip()), "Remove this device from the list");
    EXPECT_EQ(card->removeButton()->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_FALSE(card->connectWifiButton()->isVisible());
    ASSERT_TRUE(card->mountButton()->isVisible());
    EXPECT_FALSE(card->mountButton()->isEnabled());
    EXPECT_DOUBLE_EQ(card->mountButton()->currentLook().opacity,
                     disabledButtonOpacity * DeviceCard::unavailableMountOpacity);
    EXPECT_FALSE(card->progress()->isVisible());
    EXPECT_FALSE(card->showInFinderButton()->isVisible());
    EXPECT_FALSE(card->unmountButton()->isVisible());
}

TEST_F(DeviceCardTest, wirelessPhonesSayWiFiAndMountOnlyWhileReady) {
    const auto offline = showCard({"127.0.0.2:5555", "Pixel_7", State::offline});
    EXPECT_EQ(text(offline->badge()->text()), "Wi-Fi");
    EXPECT_EQ(text(offline->tileIcon()->iconName()), "wifi-high");
    EXPECT_EQ(text(offline->statusLabel()->text()), "Offline \u2014 reconnect via USB");
    EXPECT_EQ(offline->statusDot()->color(), Palette::textMuted);
    EXPECT_TRUE(offline->removeButton()->isVisible());
    EXPECT_FALSE(offline->mountButton()->isEnabled());
    EXPECT_FALSE(offline->connectWifiButton()->isVisible());

    // The same card in a newer listing where the phone is back.
    offline->setDevice({"127.0.0.2:5555", "Pixel_7", State::device});
    EXPECT_EQ(text(offline->statusLabel()->text()), "Connected over Wi-Fi");
    EXPECT_EQ(offline->statusDot()->color(), Palette::accent);
    EXPECT_TRUE(offline->mountButton()->isEnabled());
    EXPECT_DOUBLE_EQ(offline->mountButton()->currentLook().opacity, 1.0);
    EXPECT_FALSE(offline->connectWifiButton()->isVisible()) << "a wireless phone is on Wi-Fi already";
}

TEST_F(DeviceCardTest, theNameFieldStartsFromTheDisplayNameAndWritesEveryChange) {
    const auto card = showCard({"R5CT1234567", "Galaxy_S23_Ultra", State::device});
    EXPECT_EQ(text(card->name()), "Galaxy S23 Ultra");
    EXPECT_EQ(text(model_.customNames().value("R5CT1234567")), "Galaxy S23 Ultra");
    EXPECT_EQ(text(card->nameField()->placeholderText()), "Device name");

    card->nameField()->setFocus();
    card->nameField()->selectAll();
    QTest::keyClick(card->nameField(), Qt::Key_Backspace);
    EXPECT_EQ(text(model_.customNames().value("R5CT1234567", "absent")), "") << "an empty name is stored too";
    EXPECT_EQ(text(model_.displayName(card->device())), "Galaxy S23 Ultra") << "and counts as no name";
    for (const char *typed : {"W", "Wo", "Wor", "Work"}) {
        QTest::keyClick(card->nameField(), typed[std::strlen(typed) - 1]);
        EXPECT_EQ(text(model_.customNames().value("R5CT1234567")), typed);
    }

    // A stored name wins over the model on the next card for the phone.
    const auto again = showCard({"R5CT1234567", "Galaxy_S23_Ultra", State::device});
    EXPECT_EQ(text(again->name()), "Work");
    // Without a model the serial names the phone.
    const auto bare = showCard({"0123456789ABCDEF", "", State::device});
    EXPECT_EQ(text(bare->name()), "0123456789ABCDEF");
}

TEST_F(DeviceCardTest, mountingShowsProgressThenTheMountedButtonsAndUnmountingComesBack) {
    const QString reason = domaintest::fuseUnusableReason();
    if (!reason.isEmpty()) GTEST_SKIP() << reason.toStdString();
    const QString serial = "R5CT1234567";
    const auto card = showCard({serial, "Pixel_7", State::device});
    card->nameField()->setText("Work phone");

    click(card->mountButton());
    // The record turns to mounting before the button returns.
    EXPECT_EQ(text(card->statusLabel()->text()), "Mounting\u2026");
    EXPECT_TRUE(card->progress()->isVisible());
    EXPECT_TRUE(card->busyIndicator()->isSpinning());
    EXPECT_EQ(text(card->progressLabel()->text()), "Mounting\u2026");
    EXPECT_FALSE(card->removeButton()->isVisible());
    EXPECT_FALSE(card->mountButton()->isVisible());
    EXPECT_FALSE(card->connectWifiButton()->isVisible());

    ASSERT_TRUE(waitForMount(serial, MountState::mounted)) << text(mount_->mountOf(serial).error.value_or(""));
    const DeviceMount mounted = mount_->mountOf(serial);
    EXPECT_EQ(text(mounted.domain->displayName()), "Work phone");
    EXPECT_EQ(text(card->statusLabel()->text()), "Mounted");
    EXPECT_EQ(card->statusDot()->color(), Palette::accent);
    EXPECT_FALSE(card->progress()->isVisible());
    EXPECT_FALSE(card->busyIndicator()->isSpinning());
    EXPECT_FALSE(card->removeButton()->isVisible());
    EXPECT_FALSE(card->mountButton()->isVisible());
    ASSERT_TRUE(card->showInFinderButton()->isVisible());
    ASSERT_TRUE(card->unmountButton()->isVisible());

    click(card->showInFinderButton());
    EXPECT_EQ(workspace_->revealed, QStringList{*mounted.mountPoint});

    click(card->unmountButton());
    EXPECT_TRUE(card->progress()->isVisible());
    EXPECT_EQ(text(card->progressLabel()->text()), "Unmounting\u2026");
    EXPECT_EQ(text(card->statusLabel()->text()), "Connected") << "unmounting shows the phone's own state";
    EXPECT_FALSE(card->removeButton()->isVisible());
    EXPECT_FALSE(card->unmountButton()->isVisible());

    ASSERT_TRUE(waitForMount(serial, MountState::unmounted));
    EXPECT_FALSE(card->progress()->isVisible());
    EXPECT_TRUE(card->mountButton()->isVisible());
    EXPECT_TRUE(card->connectWifiButton()->isVisible());
    EXPECT_TRUE(card->removeButton()->isVisible());
    EXPECT_EQ(sandbox_.leftovers(), QStringList());
}

TEST_F(DeviceCardTest, aClearedNameMountsUnderTheEmptyName) {
    const QString reason = domaintest::fuseUnusableReason();
    if (!reason.isEmpty()) GTEST_SKIP() << reason.toStdString();
    const QString serial = "127.0.0.3:5555";
    const auto card = showCard({serial, "Pixel_7", State::device});
    card->nameField()->clear();
    EXPECT_TRUE(card->nameField()->text().isEmpty());

    click(card->mountButton());
    ASSERT_TRUE(waitForMount(serial, MountState::mounted)) << text(mount_->mountOf(serial).error.value_or(""));
    EXPECT_EQ(text(mount_->mountOf(serial).domain->displayName()), "");
    EXPECT_TRUE(mount_->mountOf(serial).mountPoint.has_value()) << "the folder still gets a usable name";
}

TEST_F(DeviceCardTest, aMountTheLayerRefusesOffersMountAgainWithoutShowingTheError) {
    const QString reason = domaintest::fuseUnusableReason();
    if (!reason.isEmpty()) GTEST_SKIP() << reason.toStdString();
    const domaintest::ScopedVariable failing("STAND_IN_BEHAVIOUR", "fail");
    const QString serial = "R5CT1234567";
    const auto card = showCard({serial, "Pixel_7", State::device});
    click(card->mountButton());
    ASSERT_TRUE(testsupport::waitUntil([&] { return mount_->mountOf(serial).error.has_value(); }, std::chrono::seconds(20)));
    EXPECT_TRUE(card->mountButton()->isVisible());
    EXPECT_TRUE(card->mountButton()->isEnabled());
    EXPECT_EQ(text(card->statusLabel()->text()), "Connected");
    for (const QString &shown : shownLabelTexts(*card))
        EXPECT_FALSE(shown.contains("Couldn't add")) << text(shown);
}

TEST_F(DeviceCardTest, aKilledHostTurnsTheCardBackToMountAtTheNextQuietScan) {
    const QString reason = domaintest::fuseUnusableReason();
    if (!reason.isEmpty()) GTEST_SKIP() << reason.toStdString();
    DeviceScreen screen(model_, *mount_, {}, {});
    bool cleanedUp = false;
    QObject::connect(mount_.get(), &MountService::mountsCleared, [&] { cleanedUp = true; });
    screen.show();
    ASSERT_TRUE(testsupport::waitUntil([&] { return cleanedUp; }));
    const QString serial = "R5CT1234567";
    const auto card = showCard({serial, "Pixel_7", State::device});
    click(card->mountButton());
    ASSERT_TRUE(waitForMount(serial, MountState::mounted));
    const DomainRecord record = domains_->records().value(0);
    ASSERT_EQ(::kill(pid_t(record.pid), SIGKILL), 0);

    EXPECT_TRUE(testsupport::waitUntil([&] { return card->mountButton()->isVisible(); }, std::chrono::seconds(4)));
    EXPECT_FALSE(QFileInfo::exists(record.mountPoint));
    EXPECT_TRUE(domaintest::processEnded(record.pid));
}

// Two real phones on the adb server, one of them with Wi-Fi.
class DeviceCardPhonesTest : public DeviceCardTest {
protected:
    void SetUp() override {
        DeviceCardTest::SetUp();
        testsupport::PhoneSimOptions wifi;
        wifi.folder = firstFolder_.path();
        wifi.model = "Pixel_7";
        wifi.wifiAddress = "127.0.0.2";
        // 62,500,000 KB in all, 12,011,719 KB free.
        wifi.df = "62500000,50488281,12011719";
        first_ = std::make_unique<testsupport::PhoneSim>(wifi);
        testsupport::PhoneSimOptions plain;
        plain.folder = secondFolder_.path();
        plain.model = "Pixel_6a";
        second_ = std::make_unique<testsupport::PhoneSim>(plain);
    }

    testsupport::TempFolder firstFolder_;
    testsupport::TempFolder secondFolder_;
    std::unique_ptr<testsupport::PhoneSim> first_;
    std::unique_ptr<testsupport::PhoneSim> second_;
};

TEST_F(DeviceCardPhonesTest, storageFiguresArriveWithTheScanAndASwitchToWiFiLocksEveryWiFiButton) {
    const auto one = showCard({first_->serial(), "Pixel_7", State::device});
    const auto two = showCard({second_->serial(), "Pixel_6a", State::device});
    EXPECT_EQ(text(one->storageLabel()->text()), "\u2014");

    testsupport::runTask(model_.refresh());
    ASSERT_TRUE(model_.storageBySerial().contains(first_->serial()));
    EXPECT_EQ(text(one->storageLabel()->text()), "12.3 GB of 64 GB");
    EXPECT_EQ(text(two->storageLabel()->text()), text(storageText(model_.storageBySerial().value(second_->serial()))));
    EXPECT_NE(text(two->storageLabel()->text()), "\u2014");

    click(one->connectWifiButton());
    ASSERT_TRUE(model_.isBusy());
    EXPECT_FALSE(one->connectWifiButton()->isEnabled());
    EXPECT_FALSE(two->connectWifiButton()->isEnabled());
    EXPECT_TRUE(two->mountButton()->isEnabled()) << "only the Wi-Fi buttons wait";

    ASSERT_TRUE(testsupport::waitUntil([&] { return !model_.isBusy(); }, std::chrono::seconds(30)));
    EXPECT_EQ(text(model_.statusMessage().value_or(model_.errorMessage().value_or(""))),
              "Connected wirelessly at 127.0.0.2:5555 \u2014 you can unplug the USB cable.");
    EXPECT_TRUE(one->connectWifiButton()->isEnabled());
    EXPECT_TRUE(two->connectWifiButton()->isEnabled());
}

TEST_F(DeviceCardPhonesTest, aPhoneThatDropsOutAndComesBackGetsANewCardWithItsStoredName) {
    const QString reason = domaintest::fuseUnusableReason();
    if (!reason.isEmpty()) GTEST_SKIP() << reason.toStdString();
    // The Wi-Fi serial can be dropped and connected again under the same name.
    ASSERT_EQ(testsupport::runAdb({"-s", first_->serial(), "tcpip", "5555"}).exitCode, 0);
    const QString wireless = "127.0.0.2:5555";
    ASSERT_TRUE(testsupport::waitUntil(
        [&] { return testsupport::runAdb({"connect", wireless}).output.contains("connected to " + wireless); },
        std::chrono::seconds(10)));
    ASSERT_TRUE(testsupport::waitForListedState(wireless, "device"));

    DeviceScreen screen(model_, *mount_, {}, {});
    testsupport::runTask(model_.refresh());
    DeviceCard *card = screen.cardFor(wireless);
    ASSERT_NE(card, nullptr);
    card->nameField()->setText("Living room");
    card->mountButton()->click(); // the screen is not shown: its loop would scan too
    ASSERT_TRUE(waitForMount(wireless, MountState::mounted));

    testsupport::runAdb({"disconnect", wireless});
    ASSERT_TRUE(testsupport::waitForListedState(wireless, ""));
    testsupport::runTask(model_.poll());
    // The mount outlives the phone's leaving, and so does the card to end it.
    ASSERT_EQ(screen.cardFor(wireless), card);
    EXPECT_EQ(text(card->statusLabel()->text()), "Mounted");
    card->unmountButton()->click();
    ASSERT_TRUE(waitForMount(wireless, MountState::unmounted));
    EXPECT_EQ(screen.cardFor(wireless), nullptr);

    ASSERT_TRUE(testsupport::waitUntil(
        [&] { return testsupport::runAdb({"connect", wireless}).output.contains("connected to " + wireless); },
        std::chrono::seconds(10)));
    ASSERT_TRUE(testsupport::waitForListedState(wireless, "device"));
    testsupport::runTask(model_.poll());
    DeviceCard *back = screen.cardFor(wireless);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(text(back->name()), "Living room");
    testsupport::runAdb({"disconnect", wireless});
}

} // namespace
