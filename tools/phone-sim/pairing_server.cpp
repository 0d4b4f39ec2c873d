#include "tools/phone-sim/pairing_server.h"

#include "tools/phone-sim/pairing_auth.h"
#include "tools/phone-sim/pairing_wire.h"
#include "tools/phone-sim/tls_io.h"

#include <cstdio>

namespace phonesim {

using namespace pairing;

PairingServer::PairingServer(const std::string &address, std::string code, std::string guid, const TlsIdentity &identity,
                             PairedKeys &keys)
    : code_(std::move(code)), guid_(std::move(guid)), context_(makeTlsServerContext(identity)), keys_(keys),
      listener_(address, [this](int fd) { pair(fd); }) {
    // The host presents a self-signed certificate; the code is what proves it.
    SSL_CTX_set_custom_verify(context_.get(), SSL_VERIFY_PEER, [](SSL *, uint8_t *) { return ssl_verify_ok; });
}

void PairingServer::pair(int fd) {
    const auto fail = [](const char *why) { std::fprintf(stderr, "dorvane-phone-sim: pairing failed: %s\n", why); };
    setHandshakeTimeout(fd, true);
    bssl::UniquePtr<SSL> ssl(SSL_new(context_.get()));
    if (!ssl || !SSL_set_fd(ssl.get(), fd) || SSL_accept(ssl.get()) != 1) return fail("no TLS handshake");
    const auto password = pairingPassword(code_, ssl.get());
    if (!password) return fail("no keying material");
    PairingAuth auth(*password);
    if (auth.message().empty() || !writePacket(ssl.get(), kSpake2Message, auth.message())) return fail("cannot send the SPAKE2 message");
    std::vector<uint8_t> message;
    if (!readPacket(ssl.get(), kSpake2Message, &message) || !auth.accept(message.data(), message.size()))
        return fail("no SPAKE2 message from the host");
    const auto mine = encodePeerInfo(PeerInfo{kPeerDeviceGuid, guid_});
    if (!mine || !writePacket(ssl.get(), kPeerInfoPacket, auth.encrypt(mine->data(), mine->size())))
        return fail("cannot send the peer info");
    std::vector<uint8_t> sealed;
    if (!readPacket(ssl.get(), kPeerInfoPacket, &sealed)) return fail("no peer info from the host");
    const auto plain = auth.decrypt(sealed.data(), sealed.size());
    if (!plain) return fail("wrong pairing code");
    const auto theirs = parsePeerInfo(plain->data(), plain->size());
    const auto key = theirs && theirs->type == kPeerRsaPublicKey ? parseAdbPublicKey(theirs->data) : std::nullopt;
    const std::string spki = key ? subjectPublicKeyInfo(*key) : std::string();
    if (spki.empty()) return fail("the host sent no usable public key");
    keys_.add(spki);
    SSL_shutdown(ssl.get());
}

} // namespace phonesim
