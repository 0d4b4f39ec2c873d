#pragma once

#include "app/adb/android_device.h"
#include "app/adb/storage_reader.h"
#include "app/mount/device_mount.h"

#include <QColor>
#include <QString>

#include <optional>

// What a device card shows, worked out from the phone and its mount record
// alone. A phone without a record counts as unmounted.

// The buttons of the card's actions row; the first that applies wins.
enum class CardActions {
    mounting,   // spinner and "Mounting…"
    unmounting, // spinner and "Unmounting…"
    mounted,    // "Show in <file manager>", "Unmount"
    cableReady, // "Connect via Wi-Fi", "Mount"
    mountOnly,  // "Mount", usable only while the phone is ready
};

CardActions cardActions(const AndroidDevice &device, MountState mount);

// Removing is offered only while nothing is mounted or on its way.
bool offersRemove(CardActions actions);
// "Mount" is usable for a ready phone only.
bool mountUsable(const AndroidDevice &device);

QString statusText(const AndroidDevice &device, MountState mount);
QColor statusDotColor(const AndroidDevice &device, MountState mount);

// How to make the phone usable, for states the user can fix; empty otherwise.
QString fixHint(const AndroidDevice &device);

// "Wi-Fi" or "ADB".
QString connectionBadgeText(const AndroidDevice &device);
// The Phosphor icon of the card's tile.
QString deviceIconName(const AndroidDevice &device);

// "12.3 GB of 64 GB", or "—" without figures.
QString storageText(const std::optional<StoragePair> &storage);
