#pragma once

#include <string>

#include "tools/phone-sim/listener.h"
#include "tools/phone-sim/tls_identity.h"

namespace phonesim {

// The pairing port of Wireless debugging: TLS 1.3 as server, SPAKE2 as bob
// with the code, then the encrypted exchange of peer info. A host that knew
// the code has its key kept in `keys`; one that did not is dropped.
class PairingServer {
public:
    PairingServer(const std::string &address, std::string code, std::string guid, const TlsIdentity &identity,
                  PairedKeys &keys);
    uint16_t port() const { return listener_.port(); }
    void stop() { listener_.stop(); }

private:
    void pair(int fd);

    const std::string code_;
    const std::string guid_;
    bssl::UniquePtr<SSL_CTX> context_;
    PairedKeys &keys_;
    Listener listener_; // last: its threads use the rest
};

} // namespace phonesim
