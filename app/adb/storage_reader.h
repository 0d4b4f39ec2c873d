#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

// Free and total bytes of a phone's shared storage.
struct StoragePair {
    qint64 free = 0;
    qint64 total = 0;
    friend bool operator==(const StoragePair &, const StoragePair &) = default;
};

// Reads the output of `df -k /sdcard`. Lines are tried from the last one up;
// the first whose 2nd (total) and 4th (available) tokens are 1024-byte block
// counts gives the result.
std::optional<StoragePair> parseStorage(const QString &text);

// An optional sign and decimal digits only, converted from 1024-byte blocks to
// bytes; none when the text is no such number or the bytes overflow 64 bits.
std::optional<qint64> parseBlockCountAsBytes(const QString &token);
