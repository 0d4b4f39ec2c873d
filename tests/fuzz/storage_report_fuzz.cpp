#include "extension/provider/storage_report_reader.h"
#include "tests/fuzz/fuzz_text.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const auto space = readStorageReport(fuzzText(data, size));
    if (space && (space->freeBytes < 0 || space->totalBytes < 0)) std::abort();
    return 0;
}
