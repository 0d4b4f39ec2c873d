#include "extension/adbclient/adb_client.h"

#include "extension/adbclient/adb_client_error.h"
#include "extension/adbclient/wire_format.h"

void AdbClient::sendRequest(BufferedSocket &connection, const QString &request) {
    const QByteArray payload = adbwire::encodePath(request);
    // Refused before anything is sent: a longer header would desynchronise the server.
    const auto header = adbwire::requestHeader(payload.size());
    if (!header) throw AdbClientError::protocolError(QStringLiteral("request too long"));
    connection.write(*header, !payload.isEmpty());
    connection.write(payload);
}

void AdbClient::readStatus(BufferedSocket &connection) {
    const QByteArray word = connection.readExactly(4);
    if (adbwire::isOkay(word)) return;
    const qsizetype length = adbwire::failMessageLength(connection.readExactly(4));
    QByteArray message;
    try {
        message = connection.readExactly(length);
    } catch (const AdbClientError &) {
        // A reason cut short is no reason; the status word still tells what happened.
    }
    throw AdbClientError::requestFailed(adbwire::failReason(word, message));
}

BufferedSocket AdbClient::openTransport() const {
    BufferedSocket connection = BufferedSocket::connect(port_);
    sendRequest(connection, QStringLiteral("host:transport:") + serial_);
    readStatus(connection);
    return connection;
}

QStringList AdbClient::features() const {
    BufferedSocket connection = BufferedSocket::connect(port_);
    sendRequest(connection, QStringLiteral("host-serial:%1:features").arg(serial_));
    readStatus(connection);
    const qsizetype length = adbwire::failMessageLength(connection.readExactly(4));
    return adbwire::readFeatureList(connection.readExactly(length));
}

adbwire::SyncDialect AdbClient::dialect() const {
    if (!pool_) return {};
    if (const auto known = pool_->dialect()) return *known;
    try {
        const adbwire::SyncDialect learnt = adbwire::syncDialectOf(features());
        pool_->rememberDialect(learnt);
        return learnt;
    } catch (const AdbClientError &error) {
        // The request that needed it fails the same way.
        if (error.kind() == AdbClientError::Kind::connectionFailed || error.kind() == AdbClientError::Kind::phoneSilent) throw;
        // A phone not there yet, or a server that cannot say: the first
        // records work everywhere, and it is asked again next time.
        return {};
    }
}

QString AdbClient::shell(const QString &command) const {
    BufferedSocket connection = openTransport();
    sendRequest(connection, QStringLiteral("shell:") + command);
    readStatus(connection);
    const QByteArray output = connection.readToEnd();
    connection.close();
    return adbwire::decodeText(output);
}

QByteArray AdbClient::execOutput(const QString &command, qsizetype limit) const {
    BufferedSocket connection = openTransport();
    sendRequest(connection, QStringLiteral("exec:") + command);
    readStatus(connection);
    return connection.readUpTo(limit);
}
