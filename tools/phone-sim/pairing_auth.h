#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <openssl/aead.h>
#include <openssl/curve25519.h>

namespace phonesim::pairing {

// The phone's side of the pairing's key agreement and the cipher it yields:
// SPAKE2 over Ed25519 (the phone is bob "adb pair server\0", the host alice
// "adb pair client\0"), then AES-128-GCM keyed by HKDF-SHA256, with a counter
// nonce per direction.
class PairingAuth {
public:
    explicit PairingAuth(const std::vector<uint8_t> &password);

    // The 32-byte message for the other side; empty when it could not be made.
    const std::vector<uint8_t> &message() const { return message_; }
    // Takes the other side's message and derives the key; false for a malformed one.
    bool accept(const uint8_t *message, size_t size);
    std::vector<uint8_t> encrypt(const uint8_t *plain, size_t size);
    // Nothing when the bytes were not sealed with the same key (a wrong code).
    std::optional<std::vector<uint8_t>> decrypt(const uint8_t *sealed, size_t size);

private:
    bssl::UniquePtr<SPAKE2_CTX> spake_;
    std::vector<uint8_t> message_;
    bssl::ScopedEVP_AEAD_CTX aead_;
    bool keyed_ = false;
    uint64_t sent_ = 0;
    uint64_t received_ = 0;
};

// The password both sides feed SPAKE2: the code's bytes, then the 64 bytes
// exported from the pairing's TLS session under "adb-label\0".
std::optional<std::vector<uint8_t>> pairingPassword(const std::string &code, SSL *ssl);

} // namespace phonesim::pairing
