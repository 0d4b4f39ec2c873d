#include "extension/adbclient/wire_format.h"
#include "tests/fuzz/fuzz_text.h"

#include <cstdlib>

// The pure pieces of the request and sync protocols, fed the same bytes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    if (adbwire::failMessageLength(bytes) < 0) std::abort();
    (void)adbwire::failReason(bytes.first(std::min<qsizetype>(4, bytes.size())), bytes.sliced(std::min<qsizetype>(4, bytes.size())));
    if (bytes.size() >= adbwire::dentHeaderSize) {
        const auto header = adbwire::readDentHeader(bytes);
        (void)adbwire::makeEntry(fuzzText(data, size), header.mode, header.size, header.modified);
        (void)adbwire::readStatRecord(bytes);
    }
    const QString text = fuzzText(data, size);
    if (adbwire::lastPathComponent(text).size() > text.size()) std::abort();
    if (const auto header = adbwire::requestHeader(qsizetype(size)); header && header->size() != 4) std::abort();
    // Any name comes back to its very bytes.
    if (adbwire::encodePath(adbwire::decodeName(bytes)) != bytes) std::abort();
    return 0;
}
