#pragma once

#include "tests/support/temp_folder.h"

#include <QString>
#include <QStringList>

namespace testsupport {

// What "adb version" prints, as captured from Debian's adb 29 and 34.
inline const QString adbVersion29 = QStringLiteral(
    "Android Debug Bridge version 1.0.41\nVersion 29.0.6-debian\nInstalled as /usr/lib/android-sdk/platform-tools/adb\n");
inline const QString adbVersion34 = QStringLiteral(
    "Android Debug Bridge version 1.0.41\nVersion 34.0.5-debian\nInstalled as /usr/lib/android-sdk/platform-tools/adb\n"
    "Running on Linux 6.12.12-amd64 (x86_64)\n");

// A stand-in adb tool for the view model's own rules (model names changing
// under one serial, a phone turning from unauthorized to ready), which a real
// phone cannot be made to show on demand. It answers "devices -l" from a
// listing file, "df" per serial, the Wi-Fi commands and "disconnect" (which
// drops the serial from the listing), "version" and "pair" from captured
// answers of real adb releases, and records every call.
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

    void setVersion(const QString &text);
    // With standard error given, "pair" prints it there and exits with 1.
    void setPairReply(const QString &standardOutput, const QString &standardError = {});
    // "connect" then says it failed, and exits with 0 as adb does.
    void failConnect(bool fail);

    QStringList calls() const;
    int countCalls(const QString &prefix) const;
    void clearCalls();

private:
    void write(const QString &name, const QString &text);

    TempFolder folder_;
};

} // namespace testsupport
