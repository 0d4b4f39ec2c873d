// The client's readers of the adb server's replies, fed through a real
// loopback socket: a peer thread sends the input as the server's whole answer.
#include "extension/adbclient/adb_client.h"
#include "extension/adbclient/adb_client_error.h"
#include "extension/adbclient/local_file_error.h"

#include <QTemporaryDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>

namespace {

struct Listener {
    int fd = -1;
    quint16 port = 0;
    Listener() {
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&address), length) != 0 || ::listen(fd, 4) != 0 ||
            ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0)
            std::abort();
        port = ntohs(address.sin_port);
    }
    ~Listener() { ::close(fd); }
};

// Answers one connection with `reply`, then reads until the client closes.
void answerOnce(int listener, const uint8_t *reply, size_t size) {
    const int peer = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (peer < 0) return;
    for (size_t sent = 0; sent < size;) {
        const ssize_t n = ::send(peer, reply + sent, size - sent, MSG_NOSIGNAL);
        if (n <= 0) break;
        sent += size_t(n);
    }
    ::shutdown(peer, SHUT_WR);
    char sink[4096];
    while (::recv(peer, sink, sizeof sink, 0) > 0) {
    }
    ::close(peer);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static Listener listener;
    static QTemporaryDir folder;
    if (size < 1) return 0;
    std::thread peer(answerOnce, listener.fd, data + 1, size - 1);
    const AdbClient client(QStringLiteral("fuzz"), listener.port);
    try {
        switch (data[0] % 6) {
        case 0: (void)client.list(QStringLiteral("/sdcard")); break;
        case 1: (void)client.stat(QStringLiteral("/sdcard/a")); break;
        case 2: client.pull(QStringLiteral("/sdcard/a"), folder.filePath(QStringLiteral("pulled"))); break;
        case 3: (void)client.shell(QStringLiteral("df -k /sdcard")); break;
        default: {
            // The 64-bit records, straight from the sync service.
            BufferedSocket connection = BufferedSocket::connect(listener.port);
            if (data[0] % 6 == 4) (void)AdbClient::listOn(connection, QStringLiteral("/sdcard"), {true, true});
            else (void)AdbClient::statReplyOn(connection, QStringLiteral("/sdcard/a"), "STA2");
            break;
        }
        }
    } catch (const AdbClientError &) {
    } catch (const LocalFileError &) {
    }
    peer.join();
    return 0;
}
