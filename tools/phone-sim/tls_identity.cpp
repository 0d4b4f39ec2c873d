#include "tools/phone-sim/tls_identity.h"

#include <openssl/bn.h>
#include <openssl/bytestring.h>
#include <openssl/rsa.h>
#include <openssl/sha.h>

#include <stdexcept>

namespace phonesim {

namespace {

constexpr int kKeyBits = 2048;

bool addName(X509_NAME *name, const char *field, const std::string &value) {
    return X509_NAME_add_entry_by_txt(name, field, MBSTRING_ASC, reinterpret_cast<const uint8_t *>(value.data()),
                                      int(value.size()), -1, 0);
}

std::string upperHex(const uint8_t *bytes, size_t size) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text;
    for (size_t i = 0; i < size; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    return text;
}

} // namespace

TlsIdentity makeTlsIdentity() {
    TlsIdentity identity;
    bssl::UniquePtr<RSA> rsa(RSA_new());
    bssl::UniquePtr<BIGNUM> exponent(BN_new());
    identity.key.reset(EVP_PKEY_new());
    identity.certificate.reset(X509_new());
    if (!rsa || !exponent || !identity.key || !identity.certificate || !BN_set_word(exponent.get(), RSA_F4) ||
        !RSA_generate_key_ex(rsa.get(), kKeyBits, exponent.get(), nullptr) || !EVP_PKEY_assign_RSA(identity.key.get(), rsa.release()))
        throw std::runtime_error("cannot make an RSA key");
    X509 *certificate = identity.certificate.get();
    X509_NAME *name = X509_get_subject_name(certificate);
    const bool made = X509_set_version(certificate, X509_VERSION_3) && ASN1_INTEGER_set(X509_get_serialNumber(certificate), 1) &&
                      X509_gmtime_adj(X509_get_notBefore(certificate), 0) &&
                      X509_gmtime_adj(X509_get_notAfter(certificate), 10L * 365 * 24 * 3600) &&
                      X509_set_pubkey(certificate, identity.key.get()) && addName(name, "C", "US") &&
                      addName(name, "O", "Android") && addName(name, "CN", "Adb") && X509_set_issuer_name(certificate, name) &&
                      X509_sign(certificate, identity.key.get(), EVP_sha256());
    if (!made) throw std::runtime_error("cannot make a certificate");
    return identity;
}

bssl::UniquePtr<SSL_CTX> makeTlsServerContext(const TlsIdentity &identity) {
    bssl::UniquePtr<SSL_CTX> context(SSL_CTX_new(TLS_server_method()));
    if (!context || !SSL_CTX_set_min_proto_version(context.get(), TLS1_3_VERSION) ||
        !SSL_CTX_set_max_proto_version(context.get(), TLS1_3_VERSION) ||
        !SSL_CTX_use_certificate(context.get(), identity.certificate.get()) ||
        !SSL_CTX_use_PrivateKey(context.get(), identity.key.get()))
        throw std::runtime_error("cannot set up TLS");
    return context;
}

std::string subjectPublicKeyInfo(const EVP_PKEY *key) {
    bssl::ScopedCBB cbb;
    uint8_t *der = nullptr;
    size_t size = 0;
    if (!CBB_init(cbb.get(), 512) || !EVP_marshal_public_key(cbb.get(), key) || !CBB_finish(cbb.get(), &der, &size)) return {};
    std::string spki(reinterpret_cast<const char *>(der), size);
    OPENSSL_free(der);
    return spki;
}

std::string subjectPublicKeyInfo(const pairing::RsaPublicKey &key) {
    bssl::UniquePtr<RSA> rsa(RSA_new());
    BIGNUM *modulus = BN_bin2bn(key.modulus.data(), key.modulus.size(), nullptr);
    BIGNUM *exponent = BN_new();
    if (!rsa || !modulus || !exponent || !BN_set_word(exponent, key.exponent) || !RSA_set0_key(rsa.get(), modulus, exponent, nullptr)) {
        BN_free(modulus);
        BN_free(exponent);
        return {};
    }
    bssl::UniquePtr<EVP_PKEY> pkey(EVP_PKEY_new());
    if (!pkey || !EVP_PKEY_assign_RSA(pkey.get(), rsa.release())) return {};
    return subjectPublicKeyInfo(pkey.get());
}

void PairedKeys::add(const std::string &spki) {
    std::lock_guard lock(mutex_);
    keys_.insert(spki);
}

bool PairedKeys::contains(const std::string &spki) const {
    std::lock_guard lock(mutex_);
    return !spki.empty() && keys_.count(spki) > 0;
}

bssl::UniquePtr<STACK_OF(X509_NAME)> PairedKeys::caNames() const {
    bssl::UniquePtr<STACK_OF(X509_NAME)> names(sk_X509_NAME_new_null());
    std::lock_guard lock(mutex_);
    for (const auto &spki : keys_) {
        uint8_t digest[SHA256_DIGEST_LENGTH];
        SHA256(reinterpret_cast<const uint8_t *>(spki.data()), spki.size(), digest);
        bssl::UniquePtr<X509_NAME> name(X509_NAME_new());
        if (!name || !addName(name.get(), "O", "AdbKey-0") || !addName(name.get(), "CN", upperHex(digest, sizeof digest)) ||
            !bssl::PushToStack(names.get(), std::move(name)))
            continue;
    }
    return names;
}

} // namespace phonesim
