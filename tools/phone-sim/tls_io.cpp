#include "tools/phone-sim/tls_io.h"

#include "tools/phone-sim/pairing_wire.h"

#include <sys/socket.h>
#include <sys/time.h>

namespace phonesim {

void setHandshakeTimeout(int fd, bool on) {
    timeval limit{on ? 10 : 0, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
}

bool sslReadExactly(SSL *ssl, void *data, size_t size) {
    auto *out = static_cast<uint8_t *>(data);
    while (size > 0) {
        const int n = SSL_read(ssl, out, int(size > 1 << 30 ? 1 << 30 : size));
        if (n <= 0) return false;
        out += n;
        size -= size_t(n);
    }
    return true;
}

bool sslWriteAll(SSL *ssl, const void *data, size_t size) {
    const auto *in = static_cast<const uint8_t *>(data);
    while (size > 0) {
        const int n = SSL_write(ssl, in, int(size > 1 << 30 ? 1 << 30 : size));
        if (n <= 0) return false;
        in += n;
        size -= size_t(n);
    }
    return true;
}

bool writePacket(SSL *ssl, uint8_t type, const std::vector<uint8_t> &payload) {
    if (payload.empty() || payload.size() > pairing::kMaxPacketPayload) return false;
    const auto header = pairing::encodePacketHeader({type, uint32_t(payload.size())});
    std::vector<uint8_t> bytes(header.begin(), header.end());
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    return sslWriteAll(ssl, bytes.data(), bytes.size());
}

bool readPacket(SSL *ssl, uint8_t type, std::vector<uint8_t> *payload) {
    uint8_t bytes[pairing::kPacketHeaderSize];
    if (!sslReadExactly(ssl, bytes, sizeof bytes)) return false;
    const auto header = pairing::parsePacketHeader(bytes);
    if (!header || header->type != type) return false;
    payload->resize(header->length);
    return sslReadExactly(ssl, payload->data(), payload->size());
}

} // namespace phonesim
