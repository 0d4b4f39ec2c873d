#include "platform/posix/file_system_name.h"

#include <QStringDecoder>

namespace posix {

namespace {

constexpr char16_t escapedBytesStart = 0xDC00;

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The length of the valid UTF-8 sequence at `at`, or 0 when the byte there
// does not start one.
qsizetype validSequenceAt(QByteArrayView bytes, qsizetype at) {
    const auto byteAt = [&](qsizetype index) { return static_cast<unsigned char>(bytes[index]); };
    const unsigned char lead = byteAt(at);
    if (lead < 0x80) return 1;
    qsizetype length = 0;
    unsigned char least = 0x80, most = 0xBF; // the second byte's range, which rules out overlong forms and surrogates
    if (lead >= 0xC2 && lead <= 0xDF) length = 2;
    else if (lead == 0xE0) length = 3, least = 0xA0;
    else if (lead >= 0xE1 && lead <= 0xEF) length = 3, most = lead == 0xED ? 0x9F : 0xBF;
    else if (lead == 0xF0) length = 4, least = 0x90;
    else if (lead >= 0xF1 && lead <= 0xF3) length = 4;
    else if (lead == 0xF4) length = 4, most = 0x8F;
    else return 0;
    if (at + length > bytes.size()) return 0;
    if (byteAt(at + 1) < least || byteAt(at + 1) > most) return 0;
    for (qsizetype index = at + 2; index < at + length; ++index) {
        if (!isContinuation(byteAt(index))) return 0;
    }
    return length;
}

bool isEscapedByte(char16_t unit) { return unit >= escapedBytesStart + 0x80 && unit <= escapedBytesStart + 0xFF; }

// QString::fromUtf8 drops a byte-order mark at the start of what it is
// given; in a name it is a character like any other.
QString fromUtf8KeepingMarks(QByteArrayView bytes) {
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    return decoder(bytes);
}

} // namespace

QString fileNameFromBytes(QByteArrayView bytes) {
    if (bytes.isValidUtf8()) return fromUtf8KeepingMarks(bytes);
    QString name;
    name.reserve(bytes.size());
    for (qsizetype at = 0; at < bytes.size();) {
        if (const qsizetype length = validSequenceAt(bytes, at)) {
            name += fromUtf8KeepingMarks(bytes.sliced(at, length));
            at += length;
        } else {
            name += QChar(char16_t(escapedBytesStart + static_cast<unsigned char>(bytes[at])));
            ++at;
        }
    }
    return name;
}

QByteArray fileNameBytes(QStringView name) {
    QByteArray bytes;
    bytes.reserve(name.size());
    qsizetype plainFrom = 0;
    for (qsizetype at = 0; at < name.size(); ++at) {
        const char16_t unit = name[at].unicode();
        // A low surrogate after a high one is half of a real character.
        const bool paired = at > 0 && name[at - 1].isHighSurrogate();
        if (!isEscapedByte(unit) || paired) continue;
        bytes += name.sliced(plainFrom, at - plainFrom).toUtf8();
        bytes += char(unit - escapedBytesStart);
        plainFrom = at + 1;
    }
    bytes += name.sliced(plainFrom).toUtf8();
    return bytes;
}

} // namespace posix
