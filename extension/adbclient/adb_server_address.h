#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

// Where the adb server listens, as the adb tool itself chooses it: from
// ADB_SERVER_SOCKET ("tcp:PORT" or "tcp:HOST:PORT"), else from
// ANDROID_ADB_SERVER_PORT, else port 5037. The server is reached on this
// computer only.
struct AdbServerChoice {
    quint16 port = 5037;
    // Why a value that was set is not used (the default is, then); empty
    // when there was nothing to say.
    QString problem;
};

// A pure reading of the two variables; none where a variable is not set.
AdbServerChoice chooseAdbServer(const std::optional<QString> &serverSocket, const std::optional<QString> &serverPort);
// The same, from this process's environment.
AdbServerChoice adbServerOfEnvironment();
