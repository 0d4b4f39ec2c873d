#include "app/adb/wifi_address_reader.h"
#include "tests/fuzz/fuzz_text.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const auto address = parseWifiAddress(fuzzText(data, size));
    if (address && (address->isEmpty() || address->contains(u'/') || address->contains(u' '))) std::abort();
    return 0;
}
