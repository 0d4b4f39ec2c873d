#include "app/adb/device_list_reader.h"
#include "tests/fuzz/fuzz_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    for (const AndroidDevice &device : parseDevices(fuzzText(data, size))) (void)device.isWireless();
    return 0;
}
