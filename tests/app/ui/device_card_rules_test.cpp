// What a device card says and offers for each phone and mount state, and the
// file-size text of its storage figures.
#include "app/ui/byte_count_text.h"
#include "app/ui/device_card_rules.h"
#include "app/ui/palette.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

using State = AndroidDevice::State;

const AndroidDevice cable{QStringLiteral("R5CT1234567"), QStringLiteral("Pixel_7"), State::device};
const AndroidDevice wireless{QStringLiteral("127.0.0.2:5555"), QStringLiteral("Pixel_7"), State::device};

AndroidDevice in(AndroidDevice device, State state) {
    device.state = state;
    return device;
}

std::string text(const QString &value) {
    return value.toStdString();
}

TEST(FileSizeText, countsInPowersOfAThousandWithOneDecimalAtMost) {
    EXPECT_EQ(text(formatFileSize(0)), "0 bytes");
    EXPECT_EQ(text(formatFileSize(1)), "1 byte");
    EXPECT_EQ(text(formatFileSize(999)), "999 bytes");
    EXPECT_EQ(text(formatFileSize(1000)), "1 KB");
    EXPECT_EQ(text(formatFileSize(1024)), "1 KB");
    EXPECT_EQ(text(formatFileSize(1550)), "1.6 KB");
    EXPECT_EQ(text(formatFileSize(12'300'000'000)), "12.3 GB");
    EXPECT_EQ(text(formatFileSize(64'000'000'000)), "64 GB");
    EXPECT_EQ(text(formatFileSize(128'849'018'880)), "128.8 GB");
    EXPECT_EQ(text(formatFileSize(2'500'000'000'000)), "2.5 TB");
}

TEST(FileSizeText, extremeAndNegativeCountsStayReadable) {
    EXPECT_EQ(text(formatFileSize(std::numeric_limits<qint64>::max())), "9.2 EB");
    EXPECT_EQ(text(formatFileSize(-1500)), "-1.5 KB");
    EXPECT_EQ(text(formatFileSize(std::numeric_limits<qint64>::min())), "-9.2 EB");
}

TEST(CardStatus, aRecordInProgressOrMountedSpeaksFirstOtherwiseThePhoneItself) {
    EXPECT_EQ(text(statusText(in(cable, State::device), MountState::mounted)), "Mounted");
    EXPECT_EQ(text(statusText(in(cable, State::offline), MountState::mounted)), "Offline");
    EXPECT_EQ(text(statusText(in(cable, State::unauthorized), MountState::mounting)), "Mounting\u2026");
    // Unmounting has no text of its own.
    EXPECT_EQ(text(statusText(cable, MountState::unmounting)), "Connected");
    EXPECT_EQ(text(statusText(wireless, MountState::unmounting)), "Connected over Wi-Fi");
    EXPECT_EQ(text(statusText(cable, MountState::unmounted)), "Connected");
    EXPECT_EQ(text(statusText(in(cable, State::unauthorized), MountState::unmounted)), "Tap \u201CAllow\u201D on phone");
    EXPECT_EQ(text(statusText(in(wireless, State::unauthorized), MountState::unmounted)), "Tap \u201CAllow\u201D on phone");
    EXPECT_EQ(text(statusText(in(wireless, State::offline), MountState::unmounted)), "Offline \u2014 reconnect via USB");
    EXPECT_EQ(text(statusText(in(cable, State::offline), MountState::unmounted)), "Offline");
    EXPECT_EQ(text(statusText(in(wireless, State::unknown), MountState::unmounted)), "Unavailable");
    // A phone this account may not open says why and how to fix it.
    const AndroidDevice locked = in(cable, State::noPermissions);
    EXPECT_EQ(text(statusText(locked, MountState::unmounted)), "No USB permission");
    EXPECT_TRUE(fixHint(locked).contains("plugdev")) << text(fixHint(locked));
    EXPECT_EQ(statusDotColor(locked, MountState::unmounted), Palette::warning);
    EXPECT_EQ(cardActions(locked, MountState::unmounted), CardActions::mountOnly);
    EXPECT_FALSE(mountUsable(locked));
    for (const State state : {State::device, State::unauthorized, State::offline, State::unknown})
        EXPECT_EQ(text(fixHint(in(cable, state))), "");
}

TEST(CardActionsRow, firstMatchingRuleChoosesTheButtons) {
    EXPECT_EQ(cardActions(in(cable, State::offline), MountState::mounting), CardActions::mounting);
    EXPECT_EQ(cardActions(cable, MountState::unmounting), CardActions::unmounting);
    EXPECT_EQ(cardActions(in(wireless, State::offline), MountState::mounted), CardActions::mounted);
    EXPECT_EQ(cardActions(cable, MountState::unmounted), CardActions::cableReady);
    EXPECT_EQ(cardActions(wireless, MountState::unmounted), CardActions::mountOnly);
    EXPECT_EQ(cardActions(in(cable, State::unauthorized), MountState::unmounted), CardActions::mountOnly);

    EXPECT_FALSE(offersRemove(CardActions::mounting));
    EXPECT_FALSE(offersRemove(CardActions::unmounting));
    EXPECT_FALSE(offersRemove(CardActions::mounted));
    EXPECT_TRUE(offersRemove(CardActions::cableReady));
    EXPECT_TRUE(offersRemove(CardActions::mountOnly));

    EXPECT_TRUE(mountUsable(wireless));
    for (const State state : {State::unauthorized, State::offline, State::unknown})
        EXPECT_FALSE(mountUsable(in(wireless, state)));
}

} // namespace
