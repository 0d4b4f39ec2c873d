#include "tools/phone-sim/pairing_auth.h"

#include <openssl/digest.h>
#include <openssl/hkdf.h>
#include <openssl/ssl.h>

#include <cstring>

namespace phonesim::pairing {

namespace {

constexpr char kClientName[] = "adb pair client"; // sizeof includes the NUL, as adb counts it
constexpr char kServerName[] = "adb pair server";
constexpr char kKeyInfo[] = "adb pairing_auth aes-128-gcm key";
constexpr char kExportLabel[] = "adb-label";
constexpr size_t kExportSize = 64;
constexpr size_t kNonceSize = 12;

void counterNonce(uint64_t counter, uint8_t (&nonce)[kNonceSize]) {
    std::memset(nonce, 0, sizeof nonce);
    std::memcpy(nonce, &counter, sizeof counter); // host byte order, as adb writes it
}

} // namespace

PairingAuth::PairingAuth(const std::vector<uint8_t> &password) {
    spake_.reset(SPAKE2_CTX_new(spake2_role_bob, reinterpret_cast<const uint8_t *>(kServerName), sizeof kServerName,
                                reinterpret_cast<const uint8_t *>(kClientName), sizeof kClientName));
    if (!spake_) return;
    uint8_t out[SPAKE2_MAX_MSG_SIZE];
    size_t size = 0;
    if (SPAKE2_generate_msg(spake_.get(), out, &size, sizeof out, password.data(), password.size()))
        message_.assign(out, out + size);
}

bool PairingAuth::accept(const uint8_t *message, size_t size) {
    if (!spake_ || message_.empty() || keyed_) return false;
    uint8_t shared[SPAKE2_MAX_KEY_SIZE];
    size_t sharedSize = 0;
    if (!SPAKE2_process_msg(spake_.get(), shared, &sharedSize, sizeof shared, message, size)) return false;
    uint8_t key[16];
    if (!HKDF(key, sizeof key, EVP_sha256(), shared, sharedSize, nullptr, 0, reinterpret_cast<const uint8_t *>(kKeyInfo),
              sizeof kKeyInfo - 1))
        return false;
    keyed_ = EVP_AEAD_CTX_init(aead_.get(), EVP_aead_aes_128_gcm(), key, sizeof key, EVP_AEAD_DEFAULT_TAG_LENGTH, nullptr);
    return keyed_;
}

std::vector<uint8_t> PairingAuth::encrypt(const uint8_t *plain, size_t size) {
    if (!keyed_) return {};
    std::vector<uint8_t> sealed(size + EVP_AEAD_max_overhead(EVP_aead_aes_128_gcm()));
    uint8_t nonce[kNonceSize];
    counterNonce(sent_++, nonce);
    size_t sealedSize = 0;
    if (!EVP_AEAD_CTX_seal(aead_.get(), sealed.data(), &sealedSize, sealed.size(), nonce, sizeof nonce, plain, size, nullptr, 0))
        return {};
    sealed.resize(sealedSize);
    return sealed;
}

std::optional<std::vector<uint8_t>> PairingAuth::decrypt(const uint8_t *sealed, size_t size) {
    if (!keyed_) return std::nullopt;
    std::vector<uint8_t> plain(size);
    uint8_t nonce[kNonceSize];
    counterNonce(received_++, nonce);
    size_t plainSize = 0;
    if (!EVP_AEAD_CTX_open(aead_.get(), plain.data(), &plainSize, plain.size(), nonce, sizeof nonce, sealed, size, nullptr, 0))
        return std::nullopt;
    plain.resize(plainSize);
    return plain;
}

std::optional<std::vector<uint8_t>> pairingPassword(const std::string &code, SSL *ssl) {
    uint8_t exported[kExportSize];
    if (!SSL_export_keying_material(ssl, exported, sizeof exported, kExportLabel, sizeof kExportLabel, nullptr, 0, 0))
        return std::nullopt;
    std::vector<uint8_t> password(code.begin(), code.end());
    password.insert(password.end(), exported, exported + sizeof exported);
    return password;
}

} // namespace phonesim::pairing
