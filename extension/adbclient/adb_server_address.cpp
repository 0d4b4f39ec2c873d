#include "extension/adbclient/adb_server_address.h"

#include <QStringList>

namespace {

std::optional<quint16> portOf(const QString &text) {
    bool ok = false;
    const uint port = text.toUInt(&ok, 10);
    if (!ok || port == 0 || port > 65535 || text.startsWith(u'+')) return std::nullopt;
    return quint16(port);
}

// localhost or an address of 127.0.0.0/8.
bool isThisComputer(const QString &host) {
    if (host == QLatin1String("localhost")) return true;
    const QStringList octets = host.split(u'.');
    if (octets.size() != 4 || octets[0] != QLatin1String("127")) return false;
    for (const QString &octet : octets) {
        bool ok = false;
        if (octet.isEmpty() || octet.size() > 3 || octet.toUInt(&ok) > 255 || !ok) return false;
    }
    return true;
}

std::optional<QString> variable(const char *name) {
    if (!qEnvironmentVariableIsSet(name)) return std::nullopt;
    return qEnvironmentVariable(name);
}

} // namespace

AdbServerChoice chooseAdbServer(const std::optional<QString> &serverSocket, const std::optional<QString> &serverPort) {
    AdbServerChoice choice;
    if (serverSocket && !serverSocket->isEmpty()) {
        const QStringList parts = serverSocket->split(u':');
        const QString host = parts.size() == 3 ? parts[1] : QStringLiteral("localhost");
        const std::optional<quint16> port = parts.size() >= 2 && parts.size() <= 3 && parts[0] == QLatin1String("tcp")
                                                ? portOf(parts.last())
                                                : std::nullopt;
        if (port && isThisComputer(host)) return {*port, {}};
        choice.problem = port ? QStringLiteral("ADB_SERVER_SOCKET=%1 names another computer; the adb server on this one, port %2, is used.")
                                    .arg(*serverSocket)
                                    .arg(choice.port)
                              : QStringLiteral("ADB_SERVER_SOCKET=%1 is not tcp:PORT or tcp:HOST:PORT; port %2 is used.")
                                    .arg(*serverSocket)
                                    .arg(choice.port);
        return choice;
    }
    if (serverPort && !serverPort->isEmpty()) {
        if (const std::optional<quint16> port = portOf(*serverPort)) return {*port, {}};
        choice.problem =
            QStringLiteral("ANDROID_ADB_SERVER_PORT=%1 is not a port from 1 to 65535; port %2 is used.").arg(*serverPort).arg(choice.port);
    }
    return choice;
}

AdbServerChoice adbServerOfEnvironment() { return chooseAdbServer(variable("ADB_SERVER_SOCKET"), variable("ANDROID_ADB_SERVER_PORT")); }
