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
