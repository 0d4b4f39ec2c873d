#include "app/ui/device_card_rules.h"

#include "app/ui/byte_count_text.h"
#include "app/ui/palette.h"

using State = AndroidDevice::State;

CardActions cardActions(const AndroidDevice &device, MountState mount) {
    switch (mount) {
    case MountState::mounting: return CardActions::mounting;
    case MountState::unmounting: return CardActions::unmounting;
    case MountState::mounted: return CardActions::mounted;
    case MountState::unmounted: break;
    }
    if (device.state == State::device && !device.isWireless())
        return CardActions::cableReady;
    return CardActions::mountOnly;
}

bool offersRemove(CardActions actions) {
    return actions == CardActions::cableReady || actions == CardActions::mountOnly;
}

bool mountUsable(const AndroidDevice &device) {
    return device.state == State::device;
}

QString statusText(const AndroidDevice &device, MountState mount) {
    // A mounted phone that left keeps its mount; the card says it is away.
    if (mount == MountState::mounted && device.state != State::offline)
        return QStringLiteral("Mounted");
    if (mount == MountState::mounting)
        return QStringLiteral("Mounting\u2026");
    switch (device.state) {
    case State::device:
        return device.isWireless() ? QStringLiteral("Connected over Wi-Fi") : QStringLiteral("Connected");
    case State::unauthorized: return QStringLiteral("Tap \u201CAllow\u201D on phone");
    case State::offline:
        return device.isWireless() ? QStringLiteral("Offline \u2014 reconnect via USB") : QStringLiteral("Offline");
    case State::noPermissions: return QStringLiteral("No USB permission");
    case State::unknown: break;
    }
    return QStringLiteral("Unavailable");
}

QColor statusDotColor(const AndroidDevice &device, MountState mount) {
    if ((mount == MountState::mounted && device.state != State::offline) || device.state == State::device)
        return Palette::accent;
    // Both wait for something the user does.
    if (device.state == State::unauthorized || device.state == State::noPermissions)
        return Palette::warning;
    return Palette::textMuted;
}

QString fixHint(const AndroidDevice &device) {
    if (device.state != State::noPermissions)
        return {};
    return QStringLiteral("This account may not open the phone. Install the adb package (its udev rules allow "
                          "phones), join the plugdev group (sudo usermod -aG plugdev $USER), log in again, then "
                          "unplug the phone and plug it in again.");
}

QString connectionBadgeText(const AndroidDevice &device) {
    return device.isWireless() ? QStringLiteral("Wi-Fi") : QStringLiteral("ADB");
}

QString deviceIconName(const AndroidDevice &device) {
    return device.isWireless() ? QStringLiteral("wifi-high") : QStringLiteral("device-mobile-camera");
}

QString storageText(const std::optional<StoragePair> &storage) {
    if (!storage)
        return QStringLiteral("\u2014");
    return formatFileSize(storage->free) + QStringLiteral(" of ") + formatFileSize(storage->total);
}
