#pragma once

#include <QHashFunctions>
#include <QMetaType>
#include <QString>

// One phone as the adb tool lists it.
struct AndroidDevice {
    // noPermissions: the user's account may not open the USB device (no udev
    // rule, not in the plugdev group).
    enum class State { device, unauthorized, offline, unknown, noPermissions };

    QString serial;
    QString model; // as printed after "model:", underscores kept
    State state = State::unknown;

    bool isWireless() const;
    const QString &id() const { return serial; }

    friend bool operator==(const AndroidDevice &, const AndroidDevice &) = default;
};

// Serials of phones reached with "adb connect" are HOST:PORT; any other
// serial is a cable phone.
bool isWirelessSerial(const QString &serial);

// The tool's state words; exact, case-sensitive, anything else is unknown.
// "no permissions" is the one state of two words.
AndroidDevice::State deviceStateFromText(const QString &word);
QString deviceStateText(AndroidDevice::State state);

size_t qHash(const AndroidDevice &device, size_t seed = 0) noexcept;

Q_DECLARE_METATYPE(AndroidDevice)
