#pragma once

#include <functional>
#include <memory>
#include <string>

#include "tools/phone-sim/pairing_server.h"
#include "tools/phone-sim/tls_identity.h"
#include "tools/phone-sim/tls_port.h"

namespace phonesim {

// Android's Wireless debugging: a pairing port with a six-digit code and a
// TLS connect port, both on `address`, sharing the phone's key and the keys
// that paired (kept for the life of the phone).
class WirelessDebugging {
public:
    // `serve` runs the adb transport on a plain socket (see TlsPort). Throws
    // std::runtime_error when a port or the key cannot be had.
    WirelessDebugging(const std::string &address, std::function<void(int fd)> serve);
    // What the phone's screen shows, one "NAME VALUE" line each:
    // pairing-code, pairing-address, connect-address.
    std::string announcement() const;
    void stop();

private:
    const std::string address_;
    const std::string code_;
    TlsIdentity identity_;
    PairedKeys keys_;
    PairingServer pairing_;
    TlsPort connect_;
};

} // namespace phonesim
