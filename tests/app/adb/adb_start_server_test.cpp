#include "app/adb/adb_service.h"
#include "tests/support/adb_server.h"
#include "tests/support/temp_folder.h"

#include <QThread>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

namespace {

bool somethingListensOn(quint16 port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool connected = ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

// Points the tool (and the server it starts) at a private port for the life
// of the value, so the shared server on 5037 is never disturbed, and stops
// whatever server ran there at the end.
class PrivateServerPort {
public:
    explicit PrivateServerPort(quint16 port) : port_(port) {
        qputenv("ANDROID_ADB_SERVER_PORT", QByteArray::number(port));
    }
    ~PrivateServerPort() {
        testsupport::runAdb({"-P", QString::number(port_), "kill-server"});
        qunsetenv("ANDROID_ADB_SERVER_PORT");
    }
    PrivateServerPort(const PrivateServerPort &) = delete;
    PrivateServerPort &operator=(const PrivateServerPort &) = delete;

private:
    quint16 port_;
};

TEST(StartServer, StartsTheRealServerAndWaitsForIt) {
    testsupport::lockAdbServer();
    const quint16 port = 5391;
    ASSERT_FALSE(somethingListensOn(port)) << "port " << port << " is taken";
    PrivateServerPort privatePort(port);

    const testsupport::TempFolder noResources;
    AdbService service(noResources.path(), {testsupport::adbTool()});
    service.startServer();
    // "start-server" returns once the server answers, so no polling is needed.
    EXPECT_TRUE(somethingListensOn(port));
    EXPECT_EQ(testsupport::runAdb({"-P", QString::number(port), "version"}).exitCode, 0);

    // A second call with the server up returns as well.
    service.startServer();
    EXPECT_TRUE(somethingListensOn(port));
}

TEST(StartServer, WithoutTheToolReturnsQuietly) {
    const testsupport::TempFolder noResources;
    AdbService service(noResources.path(), {noResources.file("missing/adb")});
    service.startServer();
    EXPECT_FALSE(service.adbPath().has_value());
}

} // namespace
