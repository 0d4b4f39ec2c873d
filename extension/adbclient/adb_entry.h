#pragma once

#include <QString>

// One file or folder on the phone, as a listing or a lookup reports it.
struct AdbEntry {
    QString name;
    bool isDirectory = false;
    qint64 size = 0;       // never negative; modulo 4 GiB unless `wholeSize`
    double modified = 0;   // seconds since 1970-01-01 UTC, never negative
    // From a 64-bit record: the size needs no probe.
    bool wholeSize = false;

    friend bool operator==(const AdbEntry &, const AdbEntry &) = default;
};
