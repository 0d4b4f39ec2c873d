#include "app/adb/android_device.h"

namespace {
const QLatin1String noPermissionsText("no permissions");
} // namespace

bool isWirelessSerial(const QString &serial) { return serial.contains(QLatin1Char(':')); }

bool AndroidDevice::isWireless() const { return isWirelessSerial(serial); }

AndroidDevice::State deviceStateFromText(const QString &word) {
    using State = AndroidDevice::State;
    if (word == QLatin1String("device")) return State::device;
    if (word == QLatin1String("unauthorized")) return State::unauthorized;
    if (word == QLatin1String("offline")) return State::offline;
    if (word == noPermissionsText) return State::noPermissions;
    return State::unknown;
}

QString deviceStateText(AndroidDevice::State state) {
    switch (state) {
    case AndroidDevice::State::device: return QStringLiteral("device");
    case AndroidDevice::State::unauthorized: return QStringLiteral("unauthorized");
    case AndroidDevice::State::offline: return QStringLiteral("offline");
    case AndroidDevice::State::noPermissions: return QString(noPermissionsText);
    case AndroidDevice::State::unknown: break;
    }
    return QStringLiteral("unknown");
}

size_t qHash(const AndroidDevice &device, size_t seed) noexcept {
    return qHashMulti(seed, device.serial, device.model, int(device.state));
}
