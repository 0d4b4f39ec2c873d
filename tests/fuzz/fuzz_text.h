#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>

// Tool output arrives as UTF-8 text; malformed bytes become replacement characters.
inline QString fuzzText(const uint8_t *data, size_t size) {
    return QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
}
