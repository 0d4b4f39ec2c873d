#pragma once

#include <QString>

// One file or folder on the phone, as a listing or a lookup reports it.
struct AdbEntry {
    QString name;
    bool isDirectory = false;
    qint64 size = 0;       // the phone's unsigned 32-bit field, never negative
    double modified = 0;   // seconds since 1970-01-01 UTC, never negative

    friend bool operator==(const AdbEntry &, const AdbEntry &) = default;
};
