#include "tools/phone-sim/tls_port.h"

#include "tools/phone-sim/tls_io.h"
#include "tools/phone-sim/transport.h"

#include <openssl/pool.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace phonesim {

namespace {

// A host's CNXN names its features; more than this is not one.
constexpr uint32_t kMaxPlainPayload = 64 * 1024;
// How far one direction may run ahead of the side that takes its bytes.
constexpr size_t kRelayBacklog = 256 * 1024;

bool hasMagic(const MessageHeader &header) { return header.magic == (header.command ^ 0xffffffffu); }

void setNonBlocking(int fd) { ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK); }

// Only a certificate whose key paired gets in.
ssl_verify_result_t verifyPaired(SSL *ssl, uint8_t *) {
    const auto *keys = static_cast<const PairedKeys *>(SSL_get_app_data(ssl));
    const STACK_OF(CRYPTO_BUFFER) *chain = SSL_get0_peer_certificates(ssl);
    if (!keys || !chain || sk_CRYPTO_BUFFER_num(chain) == 0) return ssl_verify_invalid;
    bssl::UniquePtr<X509> certificate(X509_parse_from_buffer(sk_CRYPTO_BUFFER_value(chain, 0)));
    bssl::UniquePtr<EVP_PKEY> key(certificate ? X509_get_pubkey(certificate.get()) : nullptr);
    return key && keys->contains(subjectPublicKeyInfo(key.get())) ? ssl_verify_ok : ssl_verify_invalid;
}

} // namespace

TlsPort::TlsPort(const std::string &address, const TlsIdentity &identity, const PairedKeys &keys, std::function<void(int)> serve)
    : context_(makeTlsServerContext(identity)), keys_(keys), serve_(std::move(serve)),
      listener_(address, [this](int fd) { connect(fd); }) {
    SSL_CTX_set_custom_verify(context_.get(), SSL_VERIFY_PEER | SSL_VERIFY_FAIL_IF_NO_PEER_CERT, verifyPaired);
    SSL_CTX_set_options(context_.get(), SSL_OP_NO_TICKET);
}

void TlsPort::connect(int fd) {
    setHandshakeTimeout(fd, true);
    MessageHeader cnxn;
    if (!receiveAll(fd, &cnxn, sizeof cnxn) || !hasMagic(cnxn) || cnxn.command != kCommandCnxn || cnxn.length > kMaxPlainPayload)
        return;
    std::vector<char> hello(sizeof cnxn + cnxn.length);
    std::memcpy(hello.data(), &cnxn, sizeof cnxn);
    if (!receiveAll(fd, hello.data() + sizeof cnxn, cnxn.length)) return;
    MessageHeader stls{kCommandStls, kStlsVersion, 0, 0, 0, kCommandStls ^ 0xffffffffu};
    if (!sendAll(fd, &stls, sizeof stls)) return;
    MessageHeader answer;
    if (!receiveAll(fd, &answer, sizeof answer) || !hasMagic(answer) || answer.command != kCommandStls || answer.length != 0) return;

    bssl::UniquePtr<SSL> ssl(SSL_new(context_.get()));
    if (!ssl || !SSL_set_fd(ssl.get(), fd)) return;
    SSL_set_app_data(ssl.get(), &keys_);
    SSL_set_client_CA_list(ssl.get(), keys_.caNames().release());
    if (SSL_accept(ssl.get()) != 1) {
        std::fprintf(stderr, "dorvane-phone-sim: refused a TLS connection from a host that has not paired\n");
        return;
    }
    setHandshakeTimeout(fd, false);

    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) return;
    if (!sendAll(pair[0], hello.data(), hello.size())) {
        ::close(pair[0]);
        ::close(pair[1]);
        return;
    }
    std::thread connection([this, inner = pair[1]] { serve_(inner); });
    relay(ssl.get(), fd, pair[0]);
    ::shutdown(pair[0], SHUT_RDWR);
    connection.join();
    ::close(pair[0]);
}

void relay(SSL *ssl, int tls, int plain) {
    setNonBlocking(tls);
    setNonBlocking(plain);
    SSL_set_mode(ssl, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    std::vector<uint8_t> toPlain, toTls;
    size_t plainSent = 0, tlsSent = 0;
    bool plainEnded = false;
    uint8_t buffer[16384];
    const auto compact = [](std::vector<uint8_t> &bytes, size_t &sent) {
        if (sent == bytes.size()) {
            bytes.clear();
            sent = 0;
        } else if (sent > kRelayBacklog) {
            bytes.erase(bytes.begin(), bytes.begin() + ptrdiff_t(sent));
            sent = 0;
        }
    };
    for (;;) {
        while (toPlain.size() - plainSent < kRelayBacklog) {
            const int n = SSL_read(ssl, buffer, sizeof buffer);
            if (n > 0) {
                toPlain.insert(toPlain.end(), buffer, buffer + n);
                continue;
            }
            const int error = SSL_get_error(ssl, n);
            if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) break;
            return; // the host closed the session, or it failed
        }
        while (plainSent < toPlain.size()) {
            const ssize_t n = ::send(plain, toPlain.data() + plainSent, toPlain.size() - plainSent, MSG_NOSIGNAL);
            if (n > 0) plainSent += size_t(n);
            else if (n < 0 && (errno == EAGAIN || errno == EINTR)) break;
            else return;
        }
        compact(toPlain, plainSent);
        while (!plainEnded && toTls.size() - tlsSent < kRelayBacklog) {
            const ssize_t n = ::recv(plain, buffer, sizeof buffer, 0);
            if (n > 0) toTls.insert(toTls.end(), buffer, buffer + n);
            else if (n == 0) plainEnded = true;
            else if (errno == EAGAIN || errno == EINTR) break;
            else return;
        }
        bool tlsBlocked = false;
        while (tlsSent < toTls.size()) {
            const int n = SSL_write(ssl, toTls.data() + tlsSent, int(std::min<size_t>(toTls.size() - tlsSent, 1 << 20)));
            if (n > 0) {
                tlsSent += size_t(n);
                continue;
            }
            const int error = SSL_get_error(ssl, n);
            if (error != SSL_ERROR_WANT_WRITE && error != SSL_ERROR_WANT_READ) return;
            tlsBlocked = true;
            break;
        }
        compact(toTls, tlsSent);
        if (plainEnded && toTls.empty()) {
            SSL_shutdown(ssl); // the phone ended the connection
            return;
        }
        pollfd waits[2] = {{tls, 0, 0}, {plain, 0, 0}};
        if (toPlain.size() - plainSent < kRelayBacklog) waits[0].events |= POLLIN;
        if (tlsBlocked) waits[0].events |= POLLOUT;
        if (!plainEnded && toTls.size() - tlsSent < kRelayBacklog) waits[1].events |= POLLIN;
        if (plainSent < toPlain.size()) waits[1].events |= POLLOUT;
        if (::poll(waits, 2, -1) < 0 && errno != EINTR) return;
    }
}

} // namespace phonesim
