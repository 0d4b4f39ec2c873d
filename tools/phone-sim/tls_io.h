#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include <openssl/ssl.h>

namespace phonesim {

// Bounds each blocking read and write of a handshake, so that a silent peer
// cannot hold a connection for ever; off again for the traffic after it.
void setHandshakeTimeout(int fd, bool on);

// Blocking reads and writes over TLS; false once the session failed or ended.
bool sslReadExactly(SSL *ssl, void *data, size_t size);
bool sslWriteAll(SSL *ssl, const void *data, size_t size);

// Pairing packets: a header then the payload. readPacket wants one of `type`.
bool writePacket(SSL *ssl, uint8_t type, const std::vector<uint8_t> &payload);
bool readPacket(SSL *ssl, uint8_t type, std::vector<uint8_t> *payload);

} // namespace phonesim
