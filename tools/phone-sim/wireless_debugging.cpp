#include "tools/phone-sim/wireless_debugging.h"

#include <openssl/rand.h>

#include <cstdio>

namespace phonesim {

namespace {

std::string randomCode() {
    uint32_t value = 0;
    RAND_bytes(reinterpret_cast<uint8_t *>(&value), sizeof value);
    char code[8];
    std::snprintf(code, sizeof code, "%06u", unsigned(value % 1000000));
    return code;
}

// adbd names itself "adb-SERIAL-XXXXXX".
std::string randomGuid() {
    static constexpr char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    uint8_t bytes[6];
    RAND_bytes(bytes, sizeof bytes);
    std::string guid = "adb-DORVANESIM-";
    for (uint8_t byte : bytes) guid += letters[byte % (sizeof letters - 1)];
    return guid;
}

} // namespace

WirelessDebugging::WirelessDebugging(const std::string &address, std::function<void(int fd)> serve)
    : address_(address), code_(randomCode()), identity_(makeTlsIdentity()),
      pairing_(address, code_, randomGuid(), identity_, keys_), connect_(address, identity_, keys_, std::move(serve)) {}

std::string WirelessDebugging::announcement() const {
    return "pairing-code " + code_ + "\npairing-address " + address_ + ":" + std::to_string(pairing_.port()) +
           "\nconnect-address " + address_ + ":" + std::to_string(connect_.port()) + "\n";
}

void WirelessDebugging::stop() {
    pairing_.stop();
    connect_.stop();
}

} // namespace phonesim
