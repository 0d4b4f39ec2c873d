#include "extension/provider/ranged_read.h"

#include "extension/provider/shell_commands.h"

#include <algorithm>

namespace {

constexpr qint64 wrapSize = qint64(1) << 32;

} // namespace

BlockRange blocksCovering(qint64 offset, qint64 length, qint64 blockSize) {
    if (length <= 0 || offset < 0) return {offset / std::max<qint64>(blockSize, 1), 0};
    const qint64 first = offset / blockSize;
    const qint64 last = (offset + length - 1) / blockSize;
    return {first, last - first + 1};
}

QString rangedReadCommand(const QString &path, BlockRange blocks, qint64 blockSize) {
    return QStringLiteral("dd if=%1 bs=%2 skip=%3 count=%4 2>/dev/null")
        .arg(quoteForShell(path))
        .arg(blockSize)
        .arg(blocks.skip)
        .arg(blocks.count);
}

qint64 expectedRangedBytes(BlockRange blocks, qint64 fileSize, qint64 blockSize) {
    const qint64 from = blocks.skip * blockSize;
    if (fileSize <= from) return 0;
    return std::min(blocks.count * blockSize, fileSize - from);
}

SizeProbe sizeProbeFor(qint64 reported, int wraps, qint64 blockSize) {
    const qint64 lastByte = reported + wraps * wrapSize - 1;
    return {lastByte / blockSize * blockSize, lastByte};
}

ProbeVerdict judgeSizeProbe(qint64 reported, SizeProbe probe, qint64 probedBytes, qint64 *size, qint64 blockSize) {
    if (probedBytes == blockSize) return ProbeVerdict::reachesFurther;
    const qint64 end = probe.blockOffset + probedBytes;
    // A short block ends the file there; its size must agree with the
    // reported one, or the bytes were an error text.
    if (probedBytes > 0 && probedBytes < blockSize && end > probe.byteOffset && (end - reported) % wrapSize == 0) {
        *size = end;
        return ProbeVerdict::sizeFound;
    }
    return ProbeVerdict::reachesNoFurther;
}
