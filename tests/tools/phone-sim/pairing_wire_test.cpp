// The readers and writers of the pairing records.
#include "tools/phone-sim/pairing_wire.h"

#include <openssl/base64.h>

#include <gtest/gtest.h>

using namespace phonesim::pairing;

namespace {

std::optional<PacketHeader> header(std::initializer_list<uint8_t> bytes) {
    uint8_t raw[kPacketHeaderSize] = {};
    std::copy(bytes.begin(), bytes.end(), raw);
    return parsePacketHeader(raw);
}

// adb's form of a key: 64 words, n0inv, modulus, rr (little-endian), exponent.
std::vector<uint8_t> adbKeyBytes(uint32_t words, uint8_t lowModulusByte, uint8_t topModulusByte, uint32_t exponent) {
    std::vector<uint8_t> raw(kAdbKeySize, 0x5a);
    const auto put32 = [&](size_t at, uint32_t value) {
        for (int i = 0; i < 4; ++i) raw[at + i] = uint8_t(value >> (8 * i));
    };
    put32(0, words);
    raw[8] = lowModulusByte;
    raw[8 + kAdbKeyModulusBytes - 1] = topModulusByte;
    put32(kAdbKeySize - 4, exponent);
    return raw;
}

std::string base64(const std::vector<uint8_t> &bytes) {
    size_t size = 0;
    EVP_EncodedLength(&size, bytes.size());
    std::string text(size, '\0');
    text.resize(EVP_EncodeBlock(reinterpret_cast<uint8_t *>(text.data()), bytes.data(), bytes.size()));
    return text;
}

} // namespace

TEST(PairingWire, PacketHeadersAreVersionOneKnownTypesAndBigEndianLengthsUpTo16K) {
    EXPECT_EQ(encodePacketHeader({kPeerInfoPacket, 8208}), (std::array<uint8_t, 6>{1, 1, 0, 0, 0x20, 0x10}));
    const struct {
        std::initializer_list<uint8_t> bytes;
        std::optional<uint32_t> length; // nothing: refused
        uint8_t type;
    } cases[] = {
        {{1, 0, 0, 0, 0, 32}, 32, kSpake2Message},
        {{1, 1, 0, 0, 0x20, 0x10}, 8208, kPeerInfoPacket},
        {{1, 1, 0, 0, 0x40, 0x00}, 16384, kPeerInfoPacket},
        {{1, 1, 0, 0, 0x40, 0x01}, std::nullopt, 0}, // over 16 KiB
        {{1, 1, 0x80, 0, 0, 32}, std::nullopt, 0},   // the top byte counts
        {{1, 0, 0, 0, 0, 0}, std::nullopt, 0},       // empty
        {{2, 0, 0, 0, 0, 32}, std::nullopt, 0},      // another version
        {{1, 2, 0, 0, 0, 32}, std::nullopt, 0},      // unknown type
    };
    for (const auto &c : cases) {
        const auto parsed = header(c.bytes);
        ASSERT_EQ(parsed.has_value(), c.length.has_value()) << int(c.bytes.begin()[5]);
        if (!parsed) continue;
        EXPECT_EQ(parsed->length, *c.length);
        EXPECT_EQ(parsed->type, c.type);
    }
}

TEST(PairingWire, PeerInfoIsATypeByteAndNulPaddedDataOf8192Bytes) {
    const auto bytes = encodePeerInfo({kPeerDeviceGuid, "adb-SERIAL-abcdef"});
    ASSERT_TRUE(bytes && bytes->size() == kPeerInfoSize);
    EXPECT_EQ(std::string(bytes->begin(), bytes->begin() + 19), std::string("\1adb-SERIAL-abcdef\0", 19));
    EXPECT_EQ(parsePeerInfo(bytes->data(), bytes->size())->data, "adb-SERIAL-abcdef");

    EXPECT_FALSE(encodePeerInfo({kPeerRsaPublicKey, std::string(8191, 'k')})); // no room for its NUL
    EXPECT_TRUE(encodePeerInfo({kPeerRsaPublicKey, std::string(8190, 'k')}));
    EXPECT_FALSE(encodePeerInfo({kPeerRsaPublicKey, std::string("a\0b", 3)}));
    EXPECT_FALSE(parsePeerInfo(bytes->data(), kPeerInfoSize - 1));
    std::vector<uint8_t> full(kPeerInfoSize, 'x'); // no NUL at all: all 8191 bytes
    EXPECT_EQ(parsePeerInfo(full.data(), full.size())->data.size(), kPeerInfoSize - 1);
}

TEST(PairingWire, AdbPublicKeysAreReadFromTheirBase64FormWithOrWithoutTheUser) {
    const std::string good = base64(adbKeyBytes(64, 0x0b, 0xc1, 65537));
    const auto key = parseAdbPublicKey(good + " tester@host");
    ASSERT_TRUE(key);
    EXPECT_EQ(key->exponent, 65537u);
    ASSERT_EQ(key->modulus.size(), kAdbKeyModulusBytes);
    EXPECT_EQ(key->modulus.front(), 0xc1); // little-endian on the wire, big-endian here
    EXPECT_EQ(key->modulus.back(), 0x0b);
    EXPECT_TRUE(parseAdbPublicKey(good));

    const struct {
        std::string text;
        const char *why;
    } refused[] = {
        {"", "empty"},
        {"not base64!", "bad base64"},
        {base64(std::vector<uint8_t>(kAdbKeySize - 1, 1)), "short"},
        {base64(adbKeyBytes(32, 0x0b, 0xc1, 65537)), "another word count"},
        {base64(adbKeyBytes(64, 0x0a, 0xc1, 65537)), "even modulus"},
        {base64(adbKeyBytes(64, 0x0b, 0x00, 65537)), "short modulus"},
        {base64(adbKeyBytes(64, 0x0b, 0xc1, 1)), "exponent 1"},
        {base64(adbKeyBytes(64, 0x0b, 0xc1, 65536)), "even exponent"},
    };
    for (const auto &c : refused) EXPECT_FALSE(parseAdbPublicKey(c.text)) << c.why;
}
