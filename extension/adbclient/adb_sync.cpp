// The sync file service: list, stat, pull and push.
#include "extension/adbclient/adb_client.h"

#include "extension/adbclient/adb_client_error.h"
#include "extension/adbclient/local_file.h"
#include "extension/adbclient/local_file_error.h"
#include "extension/adbclient/wire_format.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <type_traits>

namespace {

QString packetId(const QByteArray &bytes) { return adbwire::decodeText(bytes); }

QString readSyncFailMessage(BufferedSocket &connection) {
    const quint32 length = connection.readUInt32();
    return adbwire::decodeText(connection.readExactly(qsizetype(length)));
}

qint64 secondsSinceEpochNow() {
    using namespace std::chrono;
    return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

} // namespace

BufferedSocket AdbClient::openSync() const {
    BufferedSocket connection = openTransport();
    sendRequest(connection, QStringLiteral("sync:"));
    readStatus(connection);
    return connection;
}

SyncLease AdbClient::leaseSync() const {
    if (pool_) return pool_->acquire([this] { return openSync(); });
    return SyncLease(nullptr, openSync(), false);
}

template <typename Request>
auto AdbClient::withSync(Request &&request) const -> decltype(request(std::declval<BufferedSocket &>())) {
    for (int attempt = 0;; ++attempt) {
        SyncLease lease = leaseSync();
        try {
            if constexpr (std::is_void_v<decltype(request(lease.connection()))>) {
                request(lease.connection());
                lease.finished();
                return;
            } else {
                auto result = request(lease.connection());
                lease.finished();
                return result;
            }
        } catch (const AdbClientError &error) {
            // A FAIL is the phone's answer, not a stale connection.
            if (attempt > 0 || !lease.wasIdle() || error.recursOnAFreshConnection()) throw;
        }
    }
}

void AdbClient::sendSyncRequest(BufferedSocket &connection, QByteArrayView identifier, QByteArrayView payload, bool moreFollows) {
    Q_ASSERT(identifier.size() == 4);
    connection.write(identifier, true);
    connection.write(adbwire::encodeUInt32LE(quint32(payload.size())), moreFollows || !payload.isEmpty());
    connection.write(payload, moreFollows);
}

QList<AdbEntry> AdbClient::list(const QString &path) const {
    const adbwire::SyncDialect spoken = dialect();
    return withSync([&](BufferedSocket &connection) { return listOn(connection, path, spoken); });
}

QList<AdbEntry> AdbClient::listOn(BufferedSocket &connection, const QString &path, adbwire::SyncDialect dialect) {
    sendSyncRequest(connection, dialect.listV2 ? "LIS2" : "LIST", adbwire::encodePath(path));
    QList<AdbEntry> entries;
    for (;;) {
        const QByteArray id = connection.readExactly(4);
        if (id == "DENT" && !dialect.listV2) {
            const auto header = adbwire::readDentHeader(connection.readExactly(adbwire::dentHeaderSize));
            const QString name = adbwire::decodeName(connection.readExactly(qsizetype(header.nameLength)));
            if (!adbwire::isSelfOrParent(name))
                entries.append(adbwire::makeEntry(name, header.mode, header.size, header.modified));
        } else if (id == "DNT2" && dialect.listV2) {
            const QByteArray header = connection.readExactly(adbwire::dent2HeaderSize);
            const QString name = adbwire::decodeName(connection.readExactly(qsizetype(adbwire::readDent2NameLength(header))));
            // An entry the phone could not look at carries its errno and no figures.
            const adbwire::Stat2Record record = adbwire::readStat2Record(header);
            if (!adbwire::isSelfOrParent(name) && record.error == 0) entries.append(adbwire::makeEntry(name, record));
        } else if (id == "DONE") {
            // The end is a whole record of zeros.
            connection.readExactly(dialect.listV2 ? adbwire::dent2HeaderSize : 16);
            return entries;
        } else {
            throw AdbClientError::protocolError(QStringLiteral("LIST got ") + packetId(id));
        }
    }
}

std::optional<AdbEntry> AdbClient::stat(const QString &path, Links links) const {
    return statAll({path}, links).front();
}

QByteArrayView AdbClient::statRequest(adbwire::SyncDialect dialect, Links links) {
    if (!dialect.statV2) return "STAT";
    return links == Links::follow ? "STA2" : "LST2";
}

QList<std::optional<AdbEntry>> AdbClient::statAll(const QStringList &paths, Links links) const {
    const QByteArrayView request = statRequest(dialect(), links);
    return withSync([&](BufferedSocket &connection) {
        // The phone answers requests in the order they came.
        for (qsizetype index = 0; index < paths.size(); ++index)
            sendSyncRequest(connection, request, adbwire::encodePath(paths[index]), index + 1 < paths.size());
        QList<std::optional<AdbEntry>> entries;
        for (const QString &path : paths) entries.append(statReplyOn(connection, path, request));
        return entries;
    });
}

std::optional<AdbEntry> AdbClient::statReplyOn(BufferedSocket &connection, const QString &path, QByteArrayView request) {
    if (connection.readExactly(4) != request) throw AdbClientError::protocolError(QStringLiteral("bad STAT"));
    const QString name = adbwire::lastPathComponent(path);
    if (request == "STAT") {
        const auto record = adbwire::readStatRecord(connection.readExactly(adbwire::statRecordSize));
        if (record.mode == 0) return std::nullopt;
        return adbwire::makeEntry(name, record.mode, record.size, record.modified);
    }
    const auto record = adbwire::readStat2Record(connection.readExactly(adbwire::stat2RecordSize));
    if (record.error == ENOENT || record.error == ENOTDIR) return std::nullopt;
    // Anything else the phone could not look at is a refusal, in its words.
    if (record.error != 0) throw AdbClientError::requestFailed(QString::fromLocal8Bit(std::strerror(int(record.error))), int(record.error));
    return adbwire::makeEntry(name, record);
}

void AdbClient::pull(const QString &path, const QString &destination) const {
    withSync([&](BufferedSocket &connection) { pullOn(connection, path, destination); });
}

PullStream AdbClient::openPull(const QString &path) const {
    SyncLease lease = leaseSync();
    sendSyncRequest(lease.connection(), "RECV", adbwire::encodePath(path));
    return PullStream(std::move(lease));
}

AdbClient::StatedPull AdbClient::statAndOpenPull(const QString &path) const {
    for (int attempt = 0;; ++attempt) {
        SyncLease lease = leaseSync();
        try {
            const QByteArray encoded = adbwire::encodePath(path);
            const QByteArrayView request = statRequest(dialect(), Links::follow);
            // The RECV follows the STAT in the same segment; the phone answers them in order.
            sendSyncRequest(lease.connection(), request, encoded, true);
            sendSyncRequest(lease.connection(), "RECV", encoded);
            std::optional<AdbEntry> entry = statReplyOn(lease.connection(), path, request);
            // Nothing to read there: the RECV's answer is left unread, so
            // the connection is closed with the lease, not reused.
            if (!entry || entry->isDirectory) return StatedPull{std::move(entry), std::nullopt};
            return StatedPull{std::move(entry), PullStream(std::move(lease))};
        } catch (const AdbClientError &error) {
            if (attempt > 0 || !lease.wasIdle() || error.recursOnAFreshConnection()) throw;
        }
    }
}

qsizetype PullStream::read(char *into, qsizetype capacity) {
    BufferedSocket &connection = lease_.connection();
    while (!ended_ && chunkLeft_ == 0) {
        const QByteArray id = connection.readExactly(4);
        if (id == "DATA") {
            chunkLeft_ = connection.readUInt32();
        } else if (id == "DONE") {
            connection.readExactly(4);
            ended_ = true;
            lease_.finished();
        } else if (id == "FAIL") {
            throw AdbClientError::requestFailed(readSyncFailMessage(connection));
        } else {
            throw AdbClientError::protocolError(QStringLiteral("RECV got ") + packetId(id));
        }
    }
    if (ended_ || capacity <= 0) return 0;
    const qsizetype count = std::min({capacity, chunkLeft_, adbwire::syncChunkSize});
    // The chunk's end brings the next packet's header with it: one receive per chunk.
    connection.readInto(into, count, count == chunkLeft_ ? adbwire::syncPacketHeaderSize : 0);
    chunkLeft_ -= count;
    return count;
}

void AdbClient::pullOn(BufferedSocket &connection, const QString &path, const QString &destination) {
    sendSyncRequest(connection, "RECV", adbwire::encodePath(path));
    // Opened only once the request is out, so an unreachable phone leaves the file alone.
    LocalFile file = LocalFile::createForWriting(destination);
    for (;;) {
        const QByteArray id = connection.readExactly(4);
        if (id == "DATA") {
            // Appended in slices, so even an oversized chunk is never held whole.
            qsizetype left = connection.readUInt32();
            while (left > 0) {
                const qsizetype slice = std::min(left, adbwire::syncChunkSize);
                connection.readExactlyInto(slice, [&](QByteArrayView bytes) { file.append(bytes); });
                left -= slice;
            }
        } else if (id == "DONE") {
            connection.readExactly(4);
            return;
        } else if (id == "FAIL") {
            throw AdbClientError::requestFailed(readSyncFailMessage(connection));
        } else {
            throw AdbClientError::protocolError(QStringLiteral("RECV got ") + packetId(id));
        }
    }
}

AdbClient::Sent AdbClient::push(const QString &source, const QString &path, quint32 mode, const ModifiedAtEnd &modifiedAtEnd,
                                const StreamEnd &streamComplete) const {
    LocalFile file = LocalFile::openForReading(source);
    return push(file, path, mode, modifiedAtEnd, streamComplete);
}

AdbClient::Sent AdbClient::push(LocalFile &source, const QString &path, quint32 mode, const ModifiedAtEnd &modifiedAtEnd,
                                const StreamEnd &streamComplete) const {
    for (int attempt = 0;; ++attempt) {
        SyncLease lease = leaseSync();
        try {
            const Sent sent = pushOn(lease.connection(), source, path, mode, modifiedAtEnd, streamComplete);
            try {
                // The OKAY's length word, zero; the connection then serves the next request.
                lease.connection().readExactly(4);
                lease.finished();
            } catch (const AdbClientError &) {
                // The phone has already said OKAY; a connection closed before
                // the trailing bytes does not undo the upload.
            }
            return sent;
        } catch (const AdbClientError &error) {
            // A pipe cannot be read twice, so only a file may be sent again
            // after an idle connection turned out stale.
            if (attempt > 0 || !lease.wasIdle() || source.isStream() || error.recursOnAFreshConnection()) throw;
            source.rewind();
        }
    }
}

AdbClient::Sent AdbClient::pushOn(BufferedSocket &connection, LocalFile &file, const QString &path, quint32 mode,
                                  const ModifiedAtEnd &modifiedAtEnd, const StreamEnd &streamComplete) {
    // Held back until the first DATA: a request segment sent on its own
    // would leave the next one waiting for the server's delayed ack.
    const QByteArray target = adbwire::sendTarget(path, mode);
    connection.write("SEND", true);
    connection.write(adbwire::encodeUInt32LE(quint32(target.size())), true);
    connection.write(target, true);

    // Read in batches of chunks and sent with one call a batch: a copy in
    // is bound by calls into the kernel more than by bytes.
    // The first batch is one chunk, so a small file costs no large buffer.
    constexpr qsizetype chunksPerBatch = 16;
    QByteArray batch(adbwire::syncChunkSize, Qt::Uninitialized);
    std::vector<QByteArray> headers(chunksPerBatch);
    Sent sent;
    for (;;) {
        // What is there now goes at once: a streamed file's writer keeps on
        // filling the pipe meanwhile.
        const qsizetype filled = file.readSome(batch.data(), batch.size());
        if (filled == 0) break;
        sent.size += filled;
        std::vector<QByteArrayView> pieces;
        for (qsizetype at = 0, index = 0; at < filled; at += adbwire::syncChunkSize, ++index) {
            const qsizetype length = std::min(adbwire::syncChunkSize, filled - at);
            headers[size_t(index)] = "DATA" + adbwire::encodeUInt32LE(quint32(length));
            pieces.push_back(headers[size_t(index)]);
            pieces.push_back(QByteArrayView(batch.constData() + at, length));
        }
        // Held back like the request: the DONE that follows flushes it, so
        // the tail of a small file never waits for a delayed ack.
        connection.writeGathered(std::move(pieces), true);
        if (filled == batch.size()) batch.resize(chunksPerBatch * adbwire::syncChunkSize);
    }
    // The connection goes with the lease, DONE unsent: the phone drops the partial file.
    if (file.isStream() && !(streamComplete && streamComplete(sent.size))) throw LocalFileError(EPIPE, file.path());

    const std::optional<qint64> chosen = modifiedAtEnd ? modifiedAtEnd() : std::nullopt;
    sent.modified = adbwire::clampToUInt32Seconds(chosen.value_or(secondsSinceEpochNow()));
    connection.write("DONE", true);
    connection.write(adbwire::encodeUInt32LE(sent.modified));

    const QByteArray reply = connection.readExactly(4);
    if (reply == "FAIL") throw AdbClientError::requestFailed(readSyncFailMessage(connection));
    if (reply != "OKAY") throw AdbClientError::protocolError(QStringLiteral("SEND got ") + packetId(reply));
    return sent;
}
