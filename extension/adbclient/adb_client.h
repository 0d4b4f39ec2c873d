#pragma once

#include "extension/adbclient/adb_entry.h"
#include "extension/adbclient/buffered_socket.h"

#include <QByteArrayView>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

// A client of the adb server for one phone. It holds no connection: every
// operation connects, selects the phone, runs one service and closes the
// connection before it returns, on success and on failure. Operations block
// and may run on many threads at once, each with its own client.
//
// Failures are AdbClientError; pull and push also raise LocalFileError when
// the local file cannot be opened, written or read.
class AdbClient {
public:
    static constexpr quint16 defaultPort = 5037;
    // Regular file, rw-r--r--: what every upload is given.
    static constexpr quint32 regularFileMode = 0100644;

    explicit AdbClient(QString serial, quint16 port = defaultPort) : serial_(std::move(serial)), port_(port) {}

    const QString &serial() const { return serial_; }
    quint16 port() const { return port_; }

    // Runs `command` on the phone and returns all it printed (stdout and
    // stderr merged; the phone reports no exit status).
    QString shell(const QString &command) const;
    // The entries of a folder in the phone's order, without "." and "..".
    // A missing folder lists as empty.
    QList<AdbEntry> list(const QString &path) const;
    // None when nothing exists at `path`.
    std::optional<AdbEntry> stat(const QString &path) const;
    // Streams the phone file into `destination`, which is created or emptied.
    // After a failure it keeps whatever had arrived.
    void pull(const QString &path, const QString &destination) const;
    // What the phone acknowledged of an upload.
    struct Sent {
        qint64 size = 0;
        quint32 modified = 0;
    };
    // Asked once the last byte is out: the upload's modification time, or
    // none for the current time. Lets a time set while the source was still
    // being written ride the upload itself.
    using ModifiedAtEnd = std::function<std::optional<qint64>()>;
    // Streams `source` to the phone file at `path`.
    Sent push(const QString &source, const QString &path, quint32 mode = regularFileMode, const ModifiedAtEnd &modifiedAtEnd = {}) const;

    // The steps the operations are made of.
    static void sendRequest(BufferedSocket &connection, const QString &request);
    static void readStatus(BufferedSocket &connection);
    BufferedSocket openTransport() const;
    BufferedSocket openSync() const;
    static void sendSyncRequest(BufferedSocket &connection, QByteArrayView identifier, QByteArrayView payload);

private:
    QString serial_;
    quint16 port_;
};
