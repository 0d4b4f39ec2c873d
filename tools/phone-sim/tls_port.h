#pragma once

#include <functional>
#include <string>

#include "tools/phone-sim/listener.h"
#include "tools/phone-sim/tls_identity.h"

namespace phonesim {

constexpr uint32_t kCommandStls = 0x534c5453;
constexpr uint32_t kStlsVersion = 0x01000000;

// The connect port of Wireless debugging. The host's plain CNXN gets STLS;
// after the host's STLS comes TLS 1.3 with the phone as server, which wants
// a client certificate of a paired key. The adb transport then runs inside
// TLS: `serve` gets a plain socket carrying it (the host's CNXN first, so the
// phone answers with its banner at once) and runs the connection on it until
// it ends, owning the descriptor.
class TlsPort {
public:
    TlsPort(const std::string &address, const TlsIdentity &identity, const PairedKeys &keys, std::function<void(int fd)> serve);
    uint16_t port() const { return listener_.port(); }
    void stop() { listener_.stop(); }

private:
    void connect(int fd);

    bssl::UniquePtr<SSL_CTX> context_;
    const PairedKeys &keys_;
    const std::function<void(int)> serve_;
    Listener listener_; // last: its threads use the rest
};

// Carries bytes both ways between the TLS session `ssl` on its socket `tls`
// and the plain socket `plain`, until either side ends.
void relay(SSL *ssl, int tls, int plain);

} // namespace phonesim
