#pragma once

#include <QString>

// A read of part of a phone file through dd on the phone: whole blocks,
// counted in blocks, as every Android version's dd understands them.
struct BlockRange {
    qint64 skip = 0;
    qint64 count = 0;
    friend bool operator==(const BlockRange &, const BlockRange &) = default;
};

inline constexpr qint64 rangedReadBlockSize = 65536;

// The blocks that cover `length` bytes from `offset` (none for no bytes).
BlockRange blocksCovering(qint64 offset, qint64 length, qint64 blockSize = rangedReadBlockSize);
// `dd if=PATH bs=BLOCK skip=N count=M 2>/dev/null`, the path quoted for the phone's shell.
QString rangedReadCommand(const QString &path, BlockRange blocks, qint64 blockSize = rangedReadBlockSize);
// What dd must print for the blocks of a file of `fileSize` bytes: anything
// else is an error text or a failed read, never the file's bytes.
qint64 expectedRangedBytes(BlockRange blocks, qint64 fileSize, qint64 blockSize = rangedReadBlockSize);

// The sync service reports sizes modulo 2^32, so a file may be larger by
// whole wraps. A probe reads the block holding the byte just below
// `reported + wraps * 2^32`: a whole block means the file reaches past it
// (probe one more wrap), a short block ending at that size settles it, and
// anything else (no bytes, or bytes that are not dd's) means it does not.
struct SizeProbe {
    qint64 blockOffset = 0;
    qint64 byteOffset = 0;
};
SizeProbe sizeProbeFor(qint64 reported, int wraps, qint64 blockSize = rangedReadBlockSize);
enum class ProbeVerdict { sizeFound, reachesFurther, reachesNoFurther };
ProbeVerdict judgeSizeProbe(qint64 reported, SizeProbe probe, qint64 probedBytes, qint64 *size,
                            qint64 blockSize = rangedReadBlockSize);
