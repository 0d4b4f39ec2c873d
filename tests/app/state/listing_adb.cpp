#include "tests/app/state/listing_adb.h"

#include <QDir>
#include <QFile>

#include <stdexcept>

namespace testsupport {

namespace {

const char *const script = R"SCRIPT(#!/bin/sh
here=$(dirname "$0")
( IFS='|'; printf '%s\n' "$*" ) >> "$here/calls.log"
case "$1" in
  devices)
    if [ -e "$here/devices.fail" ]; then cat "$here/devices.fail" >&2; exit 1; fi
    printf 'List of devices attached\n'; cat "$here/devices.txt" 2>/dev/null; printf '\n'; exit 0 ;;
  disconnect)
    grep -v "^$2 " "$here/devices.txt" > "$here/devices.$$" ; mv "$here/devices.$$" "$here/devices.txt"
    printf 'disconnected %s\n' "$2"; exit 0 ;;
  version) cat "$here/version.txt"; exit 0 ;;
  pair)
    if [ -e "$here/pair.err" ]; then cat "$here/pair.err" >&2; exit 1; fi
    cat "$here/pair.txt"; exit 0 ;;
  connect)
    if [ -e "$here/connect.fail" ]; then printf "failed to connect to '%s': Connection refused\n" "$2"; exit 0; fi
    [ -e "$here/connect-$2" ] && cat "$here/connect-$2" >> "$here/devices.txt"
    printf 'connected to %s\n' "$2"; exit 0 ;;
  -s)
    serial=$2; shift 2
    case "$1 $2" in
      "shell df")
        [ -e "$here/df.delay" ] && sleep "$(cat "$here/df.delay")"
        if [ -e "$here/df-$serial" ]; then cat "$here/df-$serial"; exit 0; fi
        printf "error: device '%s' not found\n" "$serial" >&2; exit 1 ;;
      "shell ip") [ -e "$here/ip-$serial" ] && cat "$here/ip-$serial"; exit 0 ;;
      "tcpip 5555") printf 'restarting in TCP mode port: 5555\n'; exit 0 ;;
    esac ;;
esac
printf 'unexpected: %s\n' "$*" >&2; exit 64
)SCRIPT";

} // namespace

ListingAdb::ListingAdb() {
    write("adb", script);
    QFile::setPermissions(folder_.file("adb"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    setListing({});
}

void ListingAdb::write(const QString &name, const QString &text) {
    // Written aside and renamed, so a child reading it never sees half a file.
    const QString target = folder_.file(name);
    QFile file(target + ".new");
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) throw std::runtime_error("cannot write " + name.toStdString());
    file.write(text.toUtf8());
    file.close();
    QFile::remove(target);
    QFile::rename(target + ".new", target);
}

void ListingAdb::setListing(const QString &deviceLines) { write("devices.txt", deviceLines); }

void ListingAdb::failListing(const QString &stderrText) {
    if (stderrText.isEmpty()) QFile::remove(folder_.file("devices.fail"));
    else write("devices.fail", stderrText);
}


void ListingAdb::setStorage(const QString &serial, qint64 totalKb, qint64 availableKb) {
    setStorageText(serial, QStringLiteral("Filesystem 1K-blocks Used Available Use% Mounted on\n"
                                          "/dev/fuse %1 %2 %3 50% /storage/emulated\n")
                               .arg(totalKb)
                               .arg(totalKb - availableKb)
                               .arg(availableKb));
}

void ListingAdb::setStorageText(const QString &serial, const QString &text) { write("df-" + serial, text); }
void ListingAdb::removeStorage(const QString &serial) { QFile::remove(folder_.file("df-" + serial)); }
void ListingAdb::setStorageDelay(double seconds) { write("df.delay", QString::number(seconds)); }

void ListingAdb::setWifiAddress(const QString &serial, const QString &address) {
    write("ip-" + serial, "30: wlan0: <BROADCAST,MULTICAST,UP,LOWER_UP> mtu 1500 state UP\n    inet " + address +
                              "/24 brd 255.255.255.0 scope global wlan0\n");
}

void ListingAdb::setConnectLine(const QString &wirelessSerial, const QString &deviceLine) {
    write("connect-" + wirelessSerial, deviceLine + "\n");
}

void ListingAdb::setVersion(const QString &text) { write("version.txt", text); }

void ListingAdb::setPairReply(const QString &standardOutput, const QString &standardError) {
    write("pair.txt", standardOutput);
    if (standardError.isEmpty()) QFile::remove(folder_.file("pair.err"));
    else write("pair.err", standardError);
}

void ListingAdb::failConnect(bool fail) {
    if (fail) write("connect.fail", {});
    else QFile::remove(folder_.file("connect.fail"));
}

QStringList ListingAdb::calls() const {
    QFile log(folder_.file("calls.log"));
    if (!log.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts);
}

int ListingAdb::countCalls(const QString &prefix) const {
    int count = 0;
    for (const QString &call : calls()) count += call.startsWith(prefix) ? 1 : 0;
    return count;
}

void ListingAdb::clearCalls() { QFile::remove(folder_.file("calls.log")); }

} // namespace testsupport
