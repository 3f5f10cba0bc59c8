#include "gif_palette.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "byte_fields.h"
#include "colour_table_files.h"

namespace {

constexpr size_t kScreenDescriptorEnd = 13;  // signature, logical screen descriptor
constexpr size_t kImageDescriptorBytes = 10;
constexpr uint8_t kImageSeparator = 0x2C;
constexpr uint8_t kExtensionIntroducer = 0x21;
constexpr uint8_t kTrailer = 0x3B;
constexpr uint8_t kHasColourTable = 0x80;
constexpr uint8_t kInterlaced = 0x40;
constexpr unsigned kMaxLzwCodes = 4096;


std::string hexByte(uint8_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

size_t tableSize(uint8_t packed) { return size_t(2) << (packed & 7); }

// Adds the colour table of `count` triples at `at`, checking that it lies
// inside the file.
bool addTable(ByteView bytes, size_t at, size_t count, const std::string& what,
              PaletteFile& palette, std::string& error) {
    if (bytes.size() - at < 3 * count) {
        error = "truncated: the " + what + " needs " + std::to_string(3 * count) + " bytes, " +
                std::to_string(bytes.size() - at) + " are left";
        return false;
    }
    // The tool balances every table at once, in memory; a 64 MiB GIF could
    // hold a hundred times as many colours as this.
    if (palette.colours.size() + count > kMaxPaletteColours) {
        error = "more than " + std::to_string(kMaxPaletteColours) +
                " colours in all colour tables together, the most palette-balance takes (256 "
                "frames each with a full table of its own)";
        return false;
    }
    palette.rgbTables.push_back({at, count});
    for (size_t i = 0; i < count; ++i)
        palette.colours.push_back(
            {bytes[at + 3 * i], bytes[at + 3 * i + 1], bytes[at + 3 * i + 2]});
    return true;
}

// Steps over a run of data sub-blocks (a length byte, that many bytes, ...,
// a zero length) starting at `at`.
bool skipSubBlocks(ByteView bytes, size_t& at, const std::string& what,
                   std::string& error) {
    for (;;) {
        if (at >= bytes.size()) break;
        const size_t length = bytes[at++];
        if (length == 0) return true;
        if (bytes.size() - at < length) break;
        at += length;
    }
    error = "truncated: the " + what + " runs past the end of the file";
    return false;
}

// The bytes of a run of data sub-blocks, joined (parseGif has checked them).
std::vector<uint8_t> joinSubBlocks(ByteView bytes, size_t at) {
    std::vector<uint8_t> data;
    while (size_t length = bytes[at++]) {
        data.insert(data.end(), bytes.begin() + at, bytes.begin() + at + length);
        at += length;
    }
    return data;
}

// LZW as GIF uses it: variable-width codes, least significant bit first.
bool decodeLzw(const std::vector<uint8_t>& data, unsigned minimumCodeSize, size_t pixelCount,
               std::vector<uint8_t>& pixels, std::string& error) {
    const unsigned clearCode = 1u << minimumCodeSize, endCode = clearCode + 1;
    uint16_t prefix[kMaxLzwCodes];
    uint8_t suffix[kMaxLzwCodes], first[kMaxLzwCodes];
    for (unsigned code = 0; code < clearCode; ++code) {
        prefix[code] = 0;
        suffix[code] = first[code] = uint8_t(code);
    }
    std::vector<uint8_t> stack;
    unsigned width = minimumCodeSize + 1, nextCode = clearCode + 2;
    int previous = -1;
    uint32_t bitBuffer = 0;
    unsigned bitCount = 0;
    size_t at = 0;
    pixels.clear();
    while (pixels.size() < pixelCount) {
        while (bitCount < width && at < data.size()) {
            bitBuffer |= uint32_t(data[at++]) << bitCount;
            bitCount += 8;
        }
        if (bitCount < width) break;
        const unsigned code = bitBuffer & ((1u << width) - 1);
        bitBuffer >>= width;
        bitCount -= width;
        if (code == clearCode) {
            width = minimumCodeSize + 1;
            nextCode = clearCode + 2;
            previous = -1;
            continue;
        }
        if (code == endCode) break;
        if (previous < 0) {
            if (code >= clearCode) break;
            pixels.push_back(uint8_t(code));
            previous = int(code);
            continue;
        }
        if (code > nextCode || (code >= clearCode && code < clearCode + 2)) break;
        const unsigned known = code < nextCode ? code : unsigned(previous);
        stack.clear();
        if (code == nextCode) stack.push_back(first[previous]);  // the code being defined
        for (unsigned walk = known; walk >= clearCode; walk = prefix[walk])
            stack.push_back(suffix[walk]);
        stack.push_back(uint8_t(known < clearCode ? known : first[known]));
        if (nextCode < kMaxLzwCodes) {
            prefix[nextCode] = uint16_t(previous);
            suffix[nextCode] = stack.back();
            first[nextCode] = first[previous];
            ++nextCode;
            if (nextCode == (1u << width) && width < 12) ++width;
        }
        for (size_t i = stack.size(); i-- > 0 && pixels.size() < pixelCount;)
            pixels.push_back(stack[i]);
        previous = int(code);
    }
    if (pixels.size() < pixelCount) {
        error = "the first frame's image data is damaged or cut short";
        return false;
    }
    return true;
}

}  // namespace

bool hasGifSignature(ByteView bytes) {
    return bytes.size() >= 6 && (std::memcmp(bytes.data(), "GIF87a", 6) == 0 ||
                                 std::memcmp(bytes.data(), "GIF89a", 6) == 0);
}

bool parseGif(ByteView bytes, PaletteFile& palette, std::string& error) {
    if (bytes.size() < kScreenDescriptorEnd) {
        error = "truncated: too short for a GIF header";
        return false;
    }
    size_t at = kScreenDescriptorEnd;
    const uint8_t screenFlags = bytes[10];
    size_t globalCount = 0;
    if (screenFlags & kHasColourTable) {
        globalCount = tableSize(screenFlags);
        if (!addTable(bytes, at, globalCount, "global colour table", palette, error)) return false;
        at += 3 * globalCount;
    }
    size_t frames = 0;
    for (;;) {
        if (at >= bytes.size()) {
            error = "truncated: the file ends before the GIF trailer";
            return false;
        }
        const uint8_t introducer = bytes[at];
        if (introducer == kTrailer) break;
        if (introducer == kExtensionIntroducer) {
            if (bytes.size() - at < 2) {
                error = "truncated: the extension at byte " + std::to_string(at) + " is cut short";
                return false;
            }
            const std::string what =
                "extension " + hexByte(bytes[at + 1]) + " at byte " + std::to_string(at);
            at += 2;
            if (!skipSubBlocks(bytes, at, what, error)) return false;
            continue;
        }
        if (introducer != kImageSeparator) {
            error = "unknown block " + hexByte(introducer) + " at byte " + std::to_string(at);
            return false;
        }
        ++frames;
        const std::string frame = "frame " + std::to_string(frames);
        if (bytes.size() - at < kImageDescriptorBytes + 1) {
            error = "truncated: the image descriptor of " + frame + " is cut short";
            return false;
        }
        const uint8_t imageFlags = bytes[at + 9];
        const size_t descriptor = at;
        at += kImageDescriptorBytes;
        size_t tableStart = 0, tableCount = globalCount;
        if (imageFlags & kHasColourTable) {
            tableStart = palette.colours.size();
            tableCount = tableSize(imageFlags);
            if (!addTable(bytes, at, tableCount, "local colour table of " + frame, palette, error))
                return false;
            at += 3 * tableCount;
        }
        if (frames == 1) {
            palette.pictureOffset = descriptor;
            palette.pictureColourStart = tableStart;
            palette.pictureColourCount = tableCount;
        }
        ++at;  // LZW minimum code size
        if (!skipSubBlocks(bytes, at, "image data of " + frame, error)) return false;
    }
    if (palette.colours.empty()) {
        error = "a GIF without a colour table has no palette";
        return false;
    }
    return true;
}

bool freshGif(const std::vector<PaletteColour>& colours, std::vector<uint8_t>& out,
              std::string& error) {
    if (colours.empty() || colours.size() > kMaxBitmapColours) {
        error = "a GIF colour table holds 1 to " + std::to_string(kMaxBitmapColours) +
                " colours, this palette has " + std::to_string(colours.size());
        return false;
    }
    unsigned sizeBits = 0;  // the table holds 2 << sizeBits entries
    while ((size_t(2) << sizeBits) < colours.size()) ++sizeBits;
    const uint16_t width = uint16_t(colours.size());
    out = {'G', 'I', 'F', '8', '9', 'a'};
    appendU16LE(out, width);
    appendU16LE(out, 1);
    out.push_back(uint8_t(kHasColourTable | 0x70 | sizeBits));  // 8-bit colour resolution
    out.push_back(0);                                           // background colour
    out.push_back(0);                                           // aspect ratio
    appendRgbTriples(colours, 0, colours.size(), out);
    out.resize(out.size() + 3 * ((size_t(2) << sizeBits) - colours.size()), 0);  // black padding
    out.push_back(kImageSeparator);
    appendU16LE(out, 0);
    appendU16LE(out, 0);
    appendU16LE(out, width);
    appendU16LE(out, 1);
    out.push_back(0);  // no local table, not interlaced

    // Codes of 9 bits with 8-bit pixels: every pixel is written as its own
    // code, with a clear code often enough that the code width never grows.
    const unsigned minimumCodeSize = 8, clearCode = 256, endCode = 257, codeWidth = 9;
    std::vector<unsigned> codes = {clearCode};
    for (size_t i = 0; i < colours.size(); ++i) {
        if (i > 0 && i % 200 == 0) codes.push_back(clearCode);
        codes.push_back(unsigned(i));
    }
    codes.push_back(endCode);
    std::vector<uint8_t> data;
    uint32_t bitBuffer = 0;
    unsigned bitCount = 0;
    for (unsigned code : codes) {
        bitBuffer |= code << bitCount;
        for (bitCount += codeWidth; bitCount >= 8; bitCount -= 8, bitBuffer >>= 8)
            data.push_back(uint8_t(bitBuffer));
    }
    if (bitCount > 0) data.push_back(uint8_t(bitBuffer));
    out.push_back(uint8_t(minimumCodeSize));
    for (size_t at = 0; at < data.size(); at += 255) {
        const size_t length = std::min<size_t>(255, data.size() - at);
        out.push_back(uint8_t(length));
        out.insert(out.end(), data.begin() + at, data.begin() + at + length);
    }
    out.push_back(0);
    out.push_back(kTrailer);
    return true;
}

bool decodeGifPixels(const PaletteFile& palette, PicturePixels& picture, std::string& error) {
    picture = PicturePixels();
    ByteView bytes = palette.bytes;
    const uint8_t* descriptor = &bytes[palette.pictureOffset];
    if (descriptor[0] != kImageSeparator) return true;  // no frame
    const uint32_t width = readU16LE(descriptor + 5), height = readU16LE(descriptor + 7);
    const uint8_t flags = descriptor[9];
    size_t at = palette.pictureOffset + kImageDescriptorBytes;
    if (flags & kHasColourTable) at += 3 * tableSize(flags);
    const unsigned minimumCodeSize = bytes[at++];
    if (minimumCodeSize < 1 || minimumCodeSize > 8) {
        error = "the first frame's LZW code size " + std::to_string(minimumCodeSize) + " is not 1 to 8";
        return false;
    }
    if (width == 0 || height == 0 || uint64_t(width) * height > kMaxPicturePixels) return true;
    std::vector<uint8_t> pixels;
    if (!decodeLzw(joinSubBlocks(bytes, at), minimumCodeSize, size_t(width) * height, pixels,
                   error))
        return false;
    picture.width = width;
    picture.height = height;
    if (!(flags & kInterlaced)) {
        picture.values = std::move(pixels);
        return true;
    }
    // Interlaced rows come in four passes: every 8th from 0, every 8th from
    // 4, every 4th from 2, every 2nd from 1.
    picture.values.resize(pixels.size());
    static const uint32_t kPassStart[4] = {0, 4, 2, 1}, kPassStep[4] = {8, 8, 4, 2};
    size_t sourceRow = 0;
    for (int pass = 0; pass < 4; ++pass)
        for (uint32_t y = kPassStart[pass]; y < height; y += kPassStep[pass], ++sourceRow)
            std::memcpy(&picture.values[size_t(y) * width], &pixels[sourceRow * width], width);
    return true;
}
