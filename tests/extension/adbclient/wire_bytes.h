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
