#include "tools/phone-sim/pairing_wire.h"

#include <openssl/base64.h>

#include <algorithm>
#include <cstring>

namespace phonesim::pairing {

namespace {

uint32_t littleEndian32(const uint8_t *bytes) {
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

} // namespace

std::array<uint8_t, kPacketHeaderSize> encodePacketHeader(const PacketHeader &header) {
    return {kPacketVersion,
            header.type,
            uint8_t(header.length >> 24),
            uint8_t(header.length >> 16),
            uint8_t(header.length >> 8),
            uint8_t(header.length)};
}

std::optional<PacketHeader> parsePacketHeader(const uint8_t (&bytes)[kPacketHeaderSize]) {
    if (bytes[0] != kPacketVersion) return std::nullopt;
    if (bytes[1] != kSpake2Message && bytes[1] != kPeerInfoPacket) return std::nullopt;
    const uint32_t length = uint32_t(bytes[2]) << 24 | uint32_t(bytes[3]) << 16 | uint32_t(bytes[4]) << 8 | uint32_t(bytes[5]);
    if (length == 0 || length > kMaxPacketPayload) return std::nullopt;
    return PacketHeader{bytes[1], length};
}

std::optional<std::vector<uint8_t>> encodePeerInfo(const PeerInfo &info) {
    if (info.data.size() >= kPeerInfoSize - 1 || info.data.find('\0') != std::string::npos) return std::nullopt;
    std::vector<uint8_t> bytes(kPeerInfoSize, 0);
    bytes[0] = info.type;
    std::memcpy(bytes.data() + 1, info.data.data(), info.data.size());
    return bytes;
}

std::optional<PeerInfo> parsePeerInfo(const uint8_t *bytes, size_t size) {
    if (size != kPeerInfoSize) return std::nullopt;
    const auto *data = reinterpret_cast<const char *>(bytes + 1);
    const auto *end = std::find(data, data + kPeerInfoSize - 1, '\0');
    return PeerInfo{bytes[0], std::string(data, end)};
}

std::optional<RsaPublicKey> parseAdbPublicKey(std::string_view text) {
    const size_t blank = text.find(' ');
    if (blank != std::string_view::npos) text = text.substr(0, blank);
    size_t room = 0;
    if (text.empty() || !EVP_DecodedLength(&room, text.size())) return std::nullopt;
    std::vector<uint8_t> raw(room);
    size_t size = 0;
    if (!EVP_DecodeBase64(raw.data(), &size, raw.size(), reinterpret_cast<const uint8_t *>(text.data()), text.size()) ||
        size != kAdbKeySize)
        return std::nullopt;
    if (littleEndian32(raw.data()) != kAdbKeyModulusBytes / 4) return std::nullopt;
    RsaPublicKey key;
    const uint8_t *modulus = raw.data() + 8;
    key.modulus.assign(std::make_reverse_iterator(modulus + kAdbKeyModulusBytes), std::make_reverse_iterator(modulus));
    key.exponent = littleEndian32(raw.data() + 8 + 2 * kAdbKeyModulusBytes);
    if ((key.modulus.back() & 1) == 0 || key.modulus.front() == 0) return std::nullopt;
    if (key.exponent < 3 || (key.exponent & 1) == 0) return std::nullopt;
    return key;
}

} // namespace phonesim::pairing
