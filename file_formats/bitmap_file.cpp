#include "bitmap_file.h"

#include "byte_fields.h"

namespace {

constexpr size_t kFileHeaderBytes = 14;  // BITMAPFILEHEADER

// Header sizes whose first 40 bytes are laid out as BITMAPINFOHEADER
// (BITMAPINFOHEADER, the two Adobe variants, BITMAPV4HEADER, BITMAPV5HEADER).
bool isInfoHeaderSize(uint32_t size) {
    return size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

std::string number(uint64_t value) { return std::to_string(value); }

}  // namespace

bool readBitmapFile(const uint8_t* bytes, size_t size, BitmapFile& bitmap, std::string& error) {
    if (size < kFileHeaderBytes + 4) {
        error = "truncated: too short for a BMP header";
        return false;
    }
    if (bytes[0] != 'B' || bytes[1] != 'M') {
        error = "not a BMP file";
        return false;
    }
    const uint64_t pixelOffset = readU32LE(bytes + 10);
    const uint32_t headerSize = readU32LE(bytes + 14);
    if (!isInfoHeaderSize(headerSize)) {
        error = "unsupported BMP header size " + number(headerSize) + " (expected 40, 52, 56, 108 or 124)";
        return false;
    }
    if (kFileHeaderBytes + headerSize > size) {
        error = "truncated: the BMP header is cut short";
        return false;
    }
    const int32_t width = readS32LE(bytes + 18);
    const int32_t height = readS32LE(bytes + 22);
    const uint32_t bitCount = readU16LE(bytes + 28);
    const uint32_t compression = readU32LE(bytes + 30);
    const uint32_t imageBytes = readU32LE(bytes + 34);
    const uint32_t claimedColours = readU32LE(bytes + 46);
    if (bitCount != 1 && bitCount != 4 && bitCount != 8) {
        error = "not an indexed BMP of 1, 4 or 8 bits per pixel: it has " + number(bitCount);
        return false;
    }
    if (compression != kBitmapRgb && !(compression == kBitmapRle8 && bitCount == 8)) {
        error = "unsupported compression " + number(compression) + (bitCount == 8 ? " for an " : " for a ") +
                number(bitCount) + "-bit BMP";
        return false;
    }
    const uint32_t mostColours = uint32_t(1) << bitCount;
    if (claimedColours > mostColours) {
        error = "colour count " + number(claimedColours) + " is more than " + number(mostColours);
        return false;
    }
    if (width <= 0 || width > kBitmapMaxSide || height == 0 || height < -kBitmapMaxSide || height > kBitmapMaxSide) {
        error = "bad image size " + std::to_string(width) + " x " + std::to_string(height);
        return false;
    }
    const uint64_t count = claimedColours == 0 ? mostColours : claimedColours;
    const uint64_t tableOffset = kFileHeaderBytes + headerSize;
    const uint64_t tableEnd = tableOffset + 4 * count;
    if (tableEnd > size) {
        error = "colour table shorter than claimed: " + number(count) + " colours need " + number(4 * count) +
                " bytes, the file ends " + number(size - tableOffset) + " bytes after the header";
        return false;
    }
    if (tableEnd > pixelOffset) {
        error = "colour table shorter than claimed: " + number(count) + " colours run into the pixel data at byte " +
                number(pixelOffset);
        return false;
    }
    const uint64_t rows = height < 0 ? uint64_t(-int64_t(height)) : uint64_t(height);
    const uint64_t rowBytes = (uint64_t(width) * bitCount + 31) / 32 * 4;
    const uint64_t pixelBytes = compression == kBitmapRgb ? rowBytes * rows : imageBytes;
    if (pixelOffset + pixelBytes > size) {
        error = "truncated: the pixel data needs " + number(pixelBytes) + " bytes from byte " + number(pixelOffset) +
                ", the file has " + number(size);
        return false;
    }
    bitmap.width = width;
    bitmap.height = height;
    bitmap.bitsPerPixel = bitCount;
    bitmap.compression = compression;
    bitmap.tableOffset = size_t(tableOffset);
    bitmap.colourCount = size_t(count);
    bitmap.pixelOffset = size_t(pixelOffset);
    bitmap.rowBytes = size_t(rowBytes);
    bitmap.rows = size_t(rows);
    return true;
}
