#include "extension/adbclient/wire_format.h"

#include "platform/posix/file_system_name.h"

#include <algorithm>
#include <limits>

namespace adbwire {

QString decodeText(QByteArrayView bytes) { return QString::fromUtf8(bytes); }

QByteArray encodePath(const QString &path) { return posix::fileNameBytes(path); }

QString decodeName(QByteArrayView bytes) { return posix::fileNameFromBytes(bytes); }

std::optional<QByteArray> requestHeader(qsizetype payloadLength) {
    if (payloadLength < 0 || payloadLength > maxRequestLength) return std::nullopt;
    return QByteArray::number(payloadLength, 16).rightJustified(4, '0');
}

bool isOkay(QByteArrayView statusWord) { return statusWord == QByteArrayView("OKAY"); }

static int hexDigitValue(QChar c) {
    if (c >= u'0' && c <= u'9') return c.unicode() - u'0';
    if (c >= u'a' && c <= u'f') return c.unicode() - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c.unicode() - u'A' + 10;
    return -1;
}

qsizetype failMessageLength(QByteArrayView lengthField) {
    QString text = decodeText(lengthField);
    if (text.startsWith(u'+')) text.remove(0, 1);
    // More than 15 hex digits could overflow; no real server sends them.
    if (text.isEmpty() || text.size() > 15) return 0;
    qsizetype value = 0;
    for (QChar c : text) {
        const int digit = hexDigitValue(c);
        if (digit < 0) return 0;
        value = value * 16 + digit;
    }
    return value;
}

QString failReason(QByteArrayView statusWord, QByteArrayView message) {
    return message.isEmpty() ? decodeText(statusWord) : decodeText(message);
}

quint32 readUInt32LE(QByteArrayView b) {
    Q_ASSERT(b.size() >= 4);
    return quint32(quint8(b[0])) | quint32(quint8(b[1])) << 8 | quint32(quint8(b[2])) << 16 |
           quint32(quint8(b[3])) << 24;
}

QByteArray encodeUInt32LE(quint32 value) {
    QByteArray bytes(4, '\0');
    for (int i = 0; i < 4; ++i) bytes[i] = char((value >> (8 * i)) & 0xff);
    return bytes;
}

DentHeader readDentHeader(QByteArrayView b) {
    Q_ASSERT(b.size() >= dentHeaderSize);
    return {readUInt32LE(b.sliced(0, 4)), readUInt32LE(b.sliced(4, 4)), readUInt32LE(b.sliced(8, 4)),
            readUInt32LE(b.sliced(12, 4))};
}

StatRecord readStatRecord(QByteArrayView b) {
    Q_ASSERT(b.size() >= statRecordSize);
    return {readUInt32LE(b.sliced(0, 4)), readUInt32LE(b.sliced(4, 4)), readUInt32LE(b.sliced(8, 4))};
}

namespace {

quint64 readUInt64LE(QByteArrayView b) { return quint64(readUInt32LE(b.sliced(0, 4))) | quint64(readUInt32LE(b.sliced(4, 4))) << 32; }

} // namespace

Stat2Record readStat2Record(QByteArrayView b) {
    Q_ASSERT(b.size() >= stat2RecordSize);
    // error, dev, ino, mode, nlink, uid, gid, size, atime, mtime, ctime
    return {readUInt32LE(b.sliced(0, 4)), readUInt32LE(b.sliced(20, 4)), readUInt64LE(b.sliced(36, 8)), qint64(readUInt64LE(b.sliced(52, 8)))};
}

quint32 readDent2NameLength(QByteArrayView b) {
    Q_ASSERT(b.size() >= dent2HeaderSize);
    return readUInt32LE(b.sliced(stat2RecordSize, 4));
}

AdbEntry makeEntry(const QString &name, const Stat2Record &record) {
    // No phone holds a file of 2^63 bytes or a time before 1970.
    const qint64 size = record.size > quint64(std::numeric_limits<qint64>::max()) ? 0 : qint64(record.size);
    return {name, isDirectoryMode(record.mode), size, double(std::max<qint64>(record.modified, 0)), true};
}

QStringList readFeatureList(QByteArrayView text) {
    QStringList features;
    for (const QString &word : decodeText(text).split(u',', Qt::SkipEmptyParts)) {
        const QString feature = word.trimmed();
        if (!feature.isEmpty()) features.append(feature);
    }
    return features;
}

SyncDialect syncDialectOf(const QStringList &features) {
    return {features.contains(QStringLiteral("stat_v2")), features.contains(QStringLiteral("ls_v2"))};
}

bool isDirectoryMode(quint32 mode) { return (mode & 0xF000) == 0x4000; }

bool isSelfOrParent(const QString &name) { return name == u"." || name == u".."; }

AdbEntry makeEntry(const QString &name, quint32 mode, quint32 size, quint32 modified) {
    return {name, isDirectoryMode(mode), qint64(size), double(modified)};
}

QString lastPathComponent(const QString &path) {
    qsizetype end = path.size();
    while (end > 0 && path[end - 1] == u'/') --end;
    if (end == 0) return path.isEmpty() ? QString() : QStringLiteral("/");
    const qsizetype slash = path.lastIndexOf(u'/', end - 1);
    return path.mid(slash + 1, end - slash - 1);
}

QByteArray sendTarget(const QString &path, quint32 mode) {
    return encodePath(path) + ',' + QByteArray::number(mode);
}

quint32 clampToUInt32Seconds(qint64 secondsSinceEpoch) {
    if (secondsSinceEpoch < 0) return 0;
    if (secondsSinceEpoch > qint64(std::numeric_limits<quint32>::max())) return std::numeric_limits<quint32>::max();
    return quint32(secondsSinceEpoch);
}

} // namespace adbwire
