#pragma once

#include "extension/adbclient/adb_entry.h"
#include "extension/adbclient/buffered_socket.h"
#include "extension/adbclient/local_file.h"
#include "extension/adbclient/pull_stream.h"
#include "extension/adbclient/sync_connection_pool.h"
#include "extension/adbclient/wire_format.h"

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <functional>
#include <optional>

// A client of the adb server for one phone. It holds no connection: every
// operation connects, selects the phone, runs one service and closes the
// connection before it returns, on success and on failure; with a pool,
// the sync operations borrow an idle connection instead and hand it back
// once its reply was read whole. Operations block and may run on many
// threads at once, each with its own client.
//
// Failures are AdbClientError; pull and push also raise LocalFileError when
// the local file cannot be opened, written or read.
class AdbClient {
public:
    static constexpr quint16 defaultPort = 5037;
    // Regular file, rw-r--r--: what every upload is given.
    static constexpr quint32 regularFileMode = 0100644;

    explicit AdbClient(QString serial, quint16 port = defaultPort, std::shared_ptr<SyncConnectionPool> pool = {})
        : serial_(std::move(serial)), port_(port), pool_(std::move(pool)) {}

    const QString &serial() const { return serial_; }
    quint16 port() const { return port_; }

    // Runs `command` on the phone and returns all it printed (stdout and
    // stderr merged; the phone reports no exit status).
    QString shell(const QString &command) const;
    // Runs `command` through "exec:" (raw bytes, no terminal) and returns
    // its output, at most `limit` bytes of it.
    QByteArray execOutput(const QString &command, qsizetype limit) const;
    // The phone's features, as the server reports those it shares with it.
    QStringList features() const;
    // The sync records the phone speaks beyond the first ones: learnt once
    // through the pool, the first records only without one.
    adbwire::SyncDialect dialect() const;
    // The entries of a folder in the phone's order, without "." and "..".
    // A missing folder lists as empty.
    QList<AdbEntry> list(const QString &path) const;
    // What a lookup reports of a link: its target, or the link itself. The
    // first records only know the link itself.
    enum class Links { follow, asThemselves };
    // None when nothing exists at `path`.
    std::optional<AdbEntry> stat(const QString &path, Links links = Links::follow) const;
    // stat of each path, in order, all asked at once: one round trip.
    QList<std::optional<AdbEntry>> statAll(const QStringList &paths, Links links = Links::follow) const;
    // Streams the phone file into `destination`, which is created or emptied.
    // After a failure it keeps whatever had arrived.
    void pull(const QString &path, const QString &destination) const;
    // Starts the transfer of the phone file; its bytes are read as they come.
    PullStream openPull(const QString &path) const;
    // STAT and RECV asked together, so that one round trip both tells what
    // is at `path` and starts its bytes. No transfer for a missing path or
    // a folder.
    struct StatedPull {
        std::optional<AdbEntry> entry;
        std::optional<PullStream> transfer;
    };
    StatedPull statAndOpenPull(const QString &path) const;
    // What the phone acknowledged of an upload.
    struct Sent {
        qint64 size = 0;
        quint32 modified = 0;
    };
    // Asked once the last byte is out: the upload's modification time, or
    // none for the current time. Lets a time set while the source was still
    // being written ride the upload itself.
    using ModifiedAtEnd = std::function<std::optional<qint64>()>;
    // Asked when a source that is a stream (a pipe) ends, with the bytes it
    // gave: true only where its writer said the contents are complete at
    // that length. A stream also ends when its writer goes away, so without
    // that word the upload is dropped without its DONE, and the phone
    // removes what it had of the file.
    using StreamEnd = std::function<bool(qint64 length)>;
    // Streams `source` to the phone file at `path`. It is opened before the
    // phone is asked: SEND replaces the target, so a source that cannot be
    // read must fail before anything is sent.
    Sent push(LocalFile &source, const QString &path, quint32 mode = regularFileMode, const ModifiedAtEnd &modifiedAtEnd = {},
              const StreamEnd &streamComplete = {}) const;
    // The same for the local file at `source`.
    Sent push(const QString &source, const QString &path, quint32 mode = regularFileMode, const ModifiedAtEnd &modifiedAtEnd = {},
              const StreamEnd &streamComplete = {}) const;

    // The steps the operations are made of.
    static void sendRequest(BufferedSocket &connection, const QString &request);
    static void readStatus(BufferedSocket &connection);
    BufferedSocket openTransport() const;
    BufferedSocket openSync() const;
    // A sync connection: from the pool when there is one, else a new one.
    SyncLease leaseSync() const;
    // `moreFollows`: another request goes out with it before any reply is read.
    static void sendSyncRequest(BufferedSocket &connection, QByteArrayView identifier, QByteArrayView payload,
                                bool moreFollows = false);
    static QList<AdbEntry> listOn(BufferedSocket &connection, const QString &path, adbwire::SyncDialect dialect = {});
    // The request id of a lookup in the phone's dialect.
    static QByteArrayView statRequest(adbwire::SyncDialect dialect, Links links);
    static std::optional<AdbEntry> statReplyOn(BufferedSocket &connection, const QString &path, QByteArrayView request = "STAT");
    static void pullOn(BufferedSocket &connection, const QString &path, const QString &destination);
    static Sent pushOn(BufferedSocket &connection, LocalFile &file, const QString &path, quint32 mode, const ModifiedAtEnd &modifiedAtEnd,
                       const StreamEnd &streamComplete = {});

private:
    // Runs `request` on a leased connection. A pooled connection may have
    // gone stale while it sat idle, so a failure on one is tried once more
    // on a new connection.
    template <typename Request>
    auto withSync(Request &&request) const -> decltype(request(std::declval<BufferedSocket &>()));

    QString serial_;
    quint16 port_;
    std::shared_ptr<SyncConnectionPool> pool_;
};
