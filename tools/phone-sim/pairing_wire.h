#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The records of Wireless debugging's pairing: packet headers, peer info and
// the host's public key in adb's own form. Pure readers and writers.
namespace phonesim::pairing {

constexpr uint8_t kPacketVersion = 1;
constexpr uint8_t kSpake2Message = 0;
constexpr uint8_t kPeerInfoPacket = 1;
constexpr size_t kPacketHeaderSize = 6;
constexpr uint32_t kMaxPacketPayload = 16384;

constexpr size_t kPeerInfoSize = 8192;
constexpr uint8_t kPeerRsaPublicKey = 0;
constexpr uint8_t kPeerDeviceGuid = 1;

struct PacketHeader {
    uint8_t type = 0;
    uint32_t length = 0;
};

std::array<uint8_t, kPacketHeaderSize> encodePacketHeader(const PacketHeader &header);
// Nothing for a header of another version, an unknown type or a length out of 1..16384.
std::optional<PacketHeader> parsePacketHeader(const uint8_t (&bytes)[kPacketHeaderSize]);

struct PeerInfo {
    uint8_t type = 0;
    std::string data; // up to the first NUL
};

// The 8192 bytes: the type, then `data` NUL-padded; nothing when data does not fit with its NUL.
std::optional<std::vector<uint8_t>> encodePeerInfo(const PeerInfo &info);
// Nothing unless exactly 8192 bytes.
std::optional<PeerInfo> parsePeerInfo(const uint8_t *bytes, size_t size);

// An RSA public key as adb writes it: base64 of 64 modulus words, n0inv, the
// modulus and R^2 (little-endian) and the exponent, optionally followed by
// " user@host".
constexpr size_t kAdbKeyModulusBytes = 256;
constexpr size_t kAdbKeySize = 4 + 4 + kAdbKeyModulusBytes * 2 + 4;

struct RsaPublicKey {
    std::vector<uint8_t> modulus; // big-endian, 256 bytes
    uint32_t exponent = 0;
};

// Nothing for bad base64, another size, another word count, or a modulus or
// exponent that no RSA key has (even, or an exponent below 3).
std::optional<RsaPublicKey> parseAdbPublicKey(std::string_view text);

} // namespace phonesim::pairing
