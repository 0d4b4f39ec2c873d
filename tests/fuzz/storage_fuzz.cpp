#include "app/adb/storage_reader.h"
#include "tests/fuzz/fuzz_text.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QString text = fuzzText(data, size);
    if (const auto storage = parseStorage(text); storage && (storage->free % 1024 || storage->total % 1024)) std::abort();
    (void)parseBlockCountAsBytes(text);
    return 0;
}
