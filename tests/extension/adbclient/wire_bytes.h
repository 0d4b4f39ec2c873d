#pragma once

#include <QByteArray>

#include <cstdio>

// Expected bytes written out the long way, independent of the client's own encoders.
namespace wirebytes {

inline QByteArray le32(quint32 v) {
    const char bytes[4] = {char(v & 0xff), char((v >> 8) & 0xff), char((v >> 16) & 0xff), char((v >> 24) & 0xff)};
    return QByteArray(bytes, 4);
}

// A host request as the server reads it: four hex digits of length, then the text.
inline QByteArray request(const QByteArray &text) {
    char header[16];
    std::snprintf(header, sizeof header, "%04x", unsigned(text.size()));
    return QByteArray(header) + text;
}

inline QByteArray syncPacket(const QByteArray &id, const QByteArray &payload) {
    return id + le32(quint32(payload.size())) + payload;
}

inline QByteArray dent(quint32 mode, quint32 size, quint32 time, const QByteArray &name) {
    return "DENT" + le32(mode) + le32(size) + le32(time) + le32(quint32(name.size())) + name;
}

inline QByteArray le64(quint64 v) { return le32(quint32(v)) + le32(quint32(v >> 32)); }

// A stat record with 64-bit fields, as STA2, LST2 and DNT2 carry it.
inline QByteArray stat2(quint32 error, quint32 mode, quint64 size, qint64 time) {
    return le32(error) + le64(0xfd00) + le64(4711) + le32(mode) + le32(1) + le32(0) + le32(9997) + le64(size) + le64(quint64(time - 7)) +
           le64(quint64(time)) + le64(quint64(time + 7));
}

inline QByteArray dent2(quint32 error, quint32 mode, quint64 size, qint64 time, const QByteArray &name) {
    return "DNT2" + stat2(error, mode, size, time) + le32(quint32(name.size())) + name;
}

// Deterministic filler whose bytes differ at every offset of a chunk.
inline QByteArray pattern(qsizetype size) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i) bytes[i] = char((i * 13 + i / 509) & 0xff);
    return bytes;
}

inline quint32 le32At(const QByteArray &bytes, qsizetype at) {
    return quint32(quint8(bytes[at])) | quint32(quint8(bytes[at + 1])) << 8 | quint32(quint8(bytes[at + 2])) << 16 |
           quint32(quint8(bytes[at + 3])) << 24;
}

// What every sync operation of a client for `serial` sends first.
inline QByteArray syncPrologue(const QByteArray &serial) {
    return request("host:transport:" + serial) + request("sync:");
}

// The server accepting the transport and the sync service.
inline QByteArray twoOkays() { return "OKAYOKAY"; }

} // namespace wirebytes
