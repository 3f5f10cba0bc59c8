#include "palette_image.h"

#include "byte_fields.h"

int32_t paletteHeaderSize(const uint8_t* block) { return readS32LE(block + 0); }
int32_t paletteWidth(const uint8_t* block) { return readS32LE(block + 4); }
int32_t paletteHeight(const uint8_t* block) { return readS32LE(block + 8); }
uint32_t paletteColourCount(const uint8_t* block) { return readU32LE(block + 32); }

int64_t paletteSizeRule(const uint8_t* block) {
    // |width * height| < 2^62, so the product and the sum with the colour
    // count fit; four times that may not, and is held at a bound far beyond
    // any block instead.
    const int64_t pixels = int64_t(paletteWidth(block)) * int64_t(paletteHeight(block));
    int64_t entries = pixels + int64_t(paletteColourCount(block));
    constexpr int64_t kBound = int64_t(1) << 60;
    if (entries > kBound) entries = kBound;
    if (entries < -kBound) entries = -kBound;
    return int64_t(paletteHeaderSize(block)) + kPaletteEntryBytes * entries;
}

int32_t boundedPaletteBytes(const uint8_t* block, size_t available) {
    if (available < size_t(kPaletteHeaderBytes)) return -1;
    int64_t bytes = paletteSizeRule(block);
    // A rule that asks for more than the block holds, or that does not even
    // cover the header and the colour table it announces (negative sizes, a
    // top-down bitmap), takes the whole block.
    const int64_t announced = kPaletteHeaderBytes + kPaletteEntryBytes * int64_t(paletteColourCount(block));
    if (bytes < announced || uint64_t(bytes) > available) bytes = int64_t(available);
    if (bytes > INT32_MAX) bytes = INT32_MAX;
    return int32_t(bytes);
}

uint32_t usablePaletteEntries(const uint8_t* block, int32_t blockBytes) {
    if (blockBytes < kPaletteHeaderBytes) return 0;
    const uint32_t fitting = uint32_t(blockBytes - kPaletteHeaderBytes) / kPaletteEntryBytes;
    const uint32_t claimed = paletteColourCount(block);
    return claimed < fitting ? claimed : fitting;
}
