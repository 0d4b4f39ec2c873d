#pragma once

#include <mutex>
#include <set>
#include <string>

#include <openssl/base.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include "tools/phone-sim/pairing_wire.h"

namespace phonesim {

// An RSA key and the self-signed certificate (C=US, O=Android, CN=Adb) that
// both ends of Wireless debugging present.
struct TlsIdentity {
    bssl::UniquePtr<EVP_PKEY> key;
    bssl::UniquePtr<X509> certificate;
};
// Throws std::runtime_error when the key or certificate cannot be made.
TlsIdentity makeTlsIdentity();

// A TLS 1.3-only server context presenting `identity`.
bssl::UniquePtr<SSL_CTX> makeTlsServerContext(const TlsIdentity &identity);

// DER SubjectPublicKeyInfo: what identifies a key here.
std::string subjectPublicKeyInfo(const EVP_PKEY *key);
std::string subjectPublicKeyInfo(const pairing::RsaPublicKey &key);

// The keys of the hosts that paired, for the life of the phone.
class PairedKeys {
public:
    void add(const std::string &spki);
    bool contains(const std::string &spki) const;
    // The names the phone lists as acceptable CAs: O=AdbKey-0 and, as CN,
    // the upper-case hex SHA-256 of each key.
    bssl::UniquePtr<STACK_OF(X509_NAME)> caNames() const;

private:
    mutable std::mutex mutex_;
    std::set<std::string> keys_;
};

} // namespace phonesim
