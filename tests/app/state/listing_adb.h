#pragma once

#include "tests/support/temp_folder.h"

#include <QString>
#include <QStringList>

namespace testsupport {

// A stand-in adb tool for the view model's own rules (model names changing
// under one serial, a phone turning from unauthorized to ready), which a real
// phone cannot be made to show on demand. It answers "devices -l" from a
// listing file, "df" per serial, the Wi-Fi commands and "disconnect" (which
// drops the serial from the listing), and records every call.
class ListingAdb {
public:
    ListingAdb();

    const QString &folder() const { return folder_.path(); }

    void setListing(const QString &deviceLines);   // lines after the header
    void failListing(const QString &stderrText);   // "" stops failing
    void setStorage(const QString &serial, qint64 totalKb, qint64 availableKb);
    void setStorageText(const QString &serial, const QString &text);
    void removeStorage(const QString &serial);
    void setStorageDelay(double seconds);
    void setWifiAddress(const QString &serial, const QString &address);
    // What "connect SERIAL" adds to the listing.
    void setConnectLine(const QString &wirelessSerial, const QString &deviceLine);

    QStringList calls() const;
    int countCalls(const QString &prefix) const;
    void clearCalls();

private:
    void write(const QString &name, const QString &text);

    TempFolder folder_;
};

} // namespace testsupport
