#include "palette_blocks.h"

#include <cstring>

#include "byte_fields.h"

namespace {

constexpr int kGridPixels = kPaletteGridSide * kPaletteGridSide;
constexpr uint32_t kHugeColourCount = 0x10000000;

}  // namespace

const char* blockFlawName(BlockFlaw flaw) {
    switch (flaw) {
    case BlockFlaw::None: return "normal";
    case BlockFlaw::Short: return "short";
    case BlockFlaw::ZeroColours: return "zero-colours";
    case BlockFlaw::HugeColours: return "huge-colours";
    case BlockFlaw::NegativeHeight: return "negative-height";
    case BlockFlaw::SmallPixels: return "small-pixels";
    }
    return "normal";
}

std::vector<uint8_t> makePaletteBlock(const std::vector<uint8_t>& palette, BlockFlaw flaw) {
    const uint32_t entries = uint32_t(palette.size() / 4);
    const bool withTable = flaw != BlockFlaw::ZeroColours;
    const int pixelBytes = flaw == BlockFlaw::SmallPixels ? 1 : 4;
    const size_t tableBytes = withTable ? size_t(entries) * 4 : 0;
    std::vector<uint8_t> block(kDibHeaderBytes + tableBytes + size_t(kGridPixels) * pixelBytes, 0);

    writeU32LE(&block[0], kDibHeaderBytes);
    writeU32LE(&block[4], kPaletteGridSide);
    writeU32LE(&block[8], flaw == BlockFlaw::NegativeHeight ? uint32_t(-kPaletteGridSide)
                                                            : uint32_t(kPaletteGridSide));
    writeU16LE(&block[12], 1);
    writeU16LE(&block[14], uint16_t(pixelBytes * 8));
    writeU32LE(&block[16], 0);  // BI_RGB
    writeU32LE(&block[20], uint32_t(kGridPixels * pixelBytes));
    uint32_t colourCount = withTable ? entries : 0;
    if (flaw == BlockFlaw::HugeColours) colourCount = kHugeColourCount;
    writeU32LE(&block[32], colourCount);
    if (withTable) std::memcpy(&block[kDibHeaderBytes], palette.data(), tableBytes);

    uint8_t* pixels = &block[kDibHeaderBytes + tableBytes];
    for (int i = 0; i < kGridPixels; ++i) {
        if (uint32_t(i) >= entries) continue;
        if (pixelBytes == 1) {
            pixels[i] = uint8_t(i);
        } else {
            // A 32-bit pixel is blue, green, red and an unused byte.
            std::memcpy(pixels + size_t(i) * 4, &palette[size_t(i) * 4], 3);
        }
    }
    if (flaw == BlockFlaw::Short) block.resize(24);
    return block;
}

bool takePaletteFromBlock(const uint8_t* block, size_t size, int pictureColours,
                          std::vector<uint8_t>& palette, std::string& refusal) {
    if (size < size_t(kDibHeaderBytes)) {
        refusal = "Palette block is shorter than a bitmap header";
        return false;
    }
    const uint32_t headerSize = readU32LE(block);
    const int32_t width = int32_t(readU32LE(block + 4));
    const int32_t height = int32_t(readU32LE(block + 8));
    const uint16_t bitCount = readU16LE(block + 14);
    const uint32_t colours = readU32LE(block + 32);
    if (headerSize < uint32_t(kDibHeaderBytes) || headerSize > size) {
        refusal = "Palette block has a bad header size";
        return false;
    }
    // What the header says the block holds: header, colour table and pixel
    // rows padded to four bytes, all in 64-bit arithmetic.
    const uint64_t rows = height < 0 ? uint64_t(-int64_t(height)) : uint64_t(height);
    const uint64_t rowBytes = width > 0 ? (uint64_t(width) * bitCount + 31) / 32 * 4 : 0;
    const uint64_t claimed = uint64_t(headerSize) + uint64_t(colours) * 4 + rowBytes * rows;
    if (claimed > size) {
        refusal = "Palette block is shorter than its header says (" + std::to_string(size) +
                  " bytes, header says " + std::to_string(claimed) + ")";
        return false;
    }
    if (colours != uint32_t(pictureColours)) {
        refusal = "Palette has " + std::to_string(colours) + " colors, the picture has " +
                  std::to_string(pictureColours);
        return false;
    }
    palette.assign(block + headerSize, block + headerSize + size_t(colours) * 4);
    return true;
}
