#pragma once

#include "extension/adbclient/adb_entry.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <optional>

// Pure readers and writers of the adb server's request framing and of the
// sync service's fixed-width records. Nothing here touches a socket.
namespace adbwire {

// Longest request text whose length fits the four hex digits of the header.
inline constexpr qsizetype maxRequestLength = 0xffff;
// Largest DATA chunk an upload sends.
inline constexpr qsizetype syncChunkSize = 65536;
// A sync packet's id and length word; a DATA chunk's bytes are always
// followed by at least one (the next chunk, DONE or FAIL).
inline constexpr qsizetype syncPacketHeaderSize = 8;

// UTF-8 with every invalid sequence replaced by U+FFFD.
QString decodeText(QByteArrayView bytes);
// Paths and names byte for byte, also where they are not valid UTF-8; a
// request that carries paths (a shell command) is encoded the same way.
QByteArray encodePath(const QString &path);
QString decodeName(QByteArrayView bytes);

// The "%04x" length header of a request payload; none when the length does
// not fit in four hex digits.
std::optional<QByteArray> requestHeader(qsizetype payloadLength);

bool isOkay(QByteArrayView statusWord);
// The length field that follows a non-OKAY status word: hex digits with an
// optional leading "+". Anything else, a negative value included, is 0.
qsizetype failMessageLength(QByteArrayView lengthField);
// The reason a failed request reports: the message, or the status word
// itself when the server gave no message.
QString failReason(QByteArrayView statusWord, QByteArrayView message);

quint32 readUInt32LE(QByteArrayView fourBytes);
QByteArray encodeUInt32LE(quint32 value);

// The 16 bytes after "DENT": mode, size, time, name length.
struct DentHeader {
    quint32 mode = 0;
    quint32 size = 0;
    quint32 modified = 0;
    quint32 nameLength = 0;
};
inline constexpr qsizetype dentHeaderSize = 16;
DentHeader readDentHeader(QByteArrayView sixteenBytes);

// The 12 bytes after a "STAT" reply: mode, size, time.
struct StatRecord {
    quint32 mode = 0;
    quint32 size = 0;
    quint32 modified = 0;
};
inline constexpr qsizetype statRecordSize = 12;
StatRecord readStatRecord(QByteArrayView twelveBytes);

// The 68 bytes after a "STA2" or "LST2" reply, and the first 68 after
// "DNT2": the phone's errno, then a stat with 64-bit sizes and times.
struct Stat2Record {
    quint32 error = 0;
    quint32 mode = 0;
    quint64 size = 0;
    qint64 modified = 0;
};
inline constexpr qsizetype stat2RecordSize = 68;
Stat2Record readStat2Record(QByteArrayView sixtyEightBytes);
// A DNT2 entry is the record and the name's length.
inline constexpr qsizetype dent2HeaderSize = stat2RecordSize + 4;
quint32 readDent2NameLength(QByteArrayView seventyTwoBytes);
// What a v2 record becomes; its size is whole, past 4 GiB too.
AdbEntry makeEntry(const QString &name, const Stat2Record &record);

// The phone's features as the server lists them: comma-separated words.
QStringList readFeatureList(QByteArrayView text);
// What the sync service speaks beyond its first records.
struct SyncDialect {
    bool statV2 = false;   // STA2 and LST2
    bool listV2 = false;   // LIS2 with DNT2 entries
    friend bool operator==(const SyncDialect &, const SyncDialect &) = default;
};
SyncDialect syncDialectOf(const QStringList &features);

bool isDirectoryMode(quint32 mode);
// "." and ".." are in every listing and never shown.
bool isSelfOrParent(const QString &name);
AdbEntry makeEntry(const QString &name, quint32 mode, quint32 size, quint32 modified);

// The name a lookup reports for a path: its last component, trailing slashes
// ignored; a path of slashes only is "/".
QString lastPathComponent(const QString &path);

// The payload of SEND: the path, a comma, the mode in decimal.
QByteArray sendTarget(const QString &path, quint32 mode);

// The DONE time field can only hold 0 to 2^32-1 seconds.
quint32 clampToUInt32Seconds(qint64 secondsSinceEpoch);

} // namespace adbwire
