#pragma once

#include <QHashFunctions>
#include <QMetaType>
#include <QString>

// One phone as the adb tool lists it.
struct AndroidDevice {
    enum class State { device, unauthorized, offline, unknown };

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
AndroidDevice::State deviceStateFromText(const QString &word);
QString deviceStateText(AndroidDevice::State state);

size_t qHash(const AndroidDevice &device, size_t seed = 0) noexcept;

Q_DECLARE_METATYPE(AndroidDevice)
