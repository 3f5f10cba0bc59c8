#include "png_palette.h"

#include <zlib.h>

#include <cstdlib>
#include <cstring>

#include "byte_fields.h"
#include "colour_table_files.h"

namespace {

const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr size_t kChunkFrameBytes = 12;  // length, type, ..., CRC
constexpr uint32_t kMaxChunkLength = 0x7FFFFFFF;
constexpr uint32_t kHeaderLength = 13;
constexpr uint8_t kColourTypeIndexed = 3;

struct PngChunk {
    uint32_t length;
    std::string type;     // printable, unprintable bytes as '?'
    const uint8_t* data;  // `length` bytes
    size_t next;          // offset of the chunk after this one
};


uint32_t crcOf(const uint8_t* bytes, size_t length) {
    return uint32_t(crc32(crc32(0L, Z_NULL, 0), bytes, uInt(length)));
}

// Reads the chunk at `at`, checking that its data and CRC lie inside the
// file and that the CRC matches its type and data.
bool readChunk(ByteView bytes, size_t at, PngChunk& chunk, std::string& error) {
    if (bytes.size() - at < 8) {
        error = "truncated: a chunk header is cut short at byte " + std::to_string(at);
        return false;
    }
    chunk.length = readU32BE(&bytes[at]);
    chunk.type.clear();
    for (size_t i = at + 4; i < at + 8; ++i)
        chunk.type += (bytes[i] >= 0x20 && bytes[i] < 0x7F) ? char(bytes[i]) : '?';
    if (chunk.length > kMaxChunkLength) {
        error = "chunk '" + chunk.type + "' has a bad length " + std::to_string(chunk.length);
        return false;
    }
    if (uint64_t(bytes.size() - at) < uint64_t(chunk.length) + kChunkFrameBytes) {
        error = "truncated: chunk '" + chunk.type + "' needs " + std::to_string(chunk.length + 12ull) +
                " bytes, " + std::to_string(bytes.size() - at) + " are left";
        return false;
    }
    chunk.data = &bytes[at + 8];
    if (crcOf(&bytes[at + 4], chunk.length + 4) != readU32BE(chunk.data + chunk.length)) {
        error = "chunk '" + chunk.type + "' is damaged: its CRC does not match";
        return false;
    }
    chunk.next = at + kChunkFrameBytes + chunk.length;
    return true;
}

const char* colourTypeName(uint8_t colourType) {
    switch (colourType) {
        case 0: return "greyscale";
        case 2: return "truecolour";
        case 4: return "greyscale-with-alpha";
        case 6: return "truecolour-with-alpha";
    }
    return "";
}

// The compression, filter and interlace methods of the IHDR data: PNG knows
// compression 0 (deflate), filter 0 and interlace 0 (none) or 1 (Adam7).
bool checkHeaderMethods(const uint8_t* header, std::string& error) {
    const struct {
        const char* name;
        uint8_t value, largest;
        const char* known;
    } methods[] = {
        {"compression", header[10], 0, "0, deflate"},
        {"filter", header[11], 0, "0"},
        {"interlace", header[12], 1, "0, none, and 1, Adam7"},
    };
    for (const auto& method : methods)
        if (method.value > method.largest) {
            error = std::string("unknown ") + method.name + " method " +
                    std::to_string(method.value) + " in the 'IHDR' chunk (PNG knows " +
                    method.known + ")";
            return false;
        }
    return true;
}

bool checkHeader(const PngChunk& chunk, std::string& error) {
    if (chunk.type != "IHDR" || chunk.length != kHeaderLength) {
        error = "the first chunk is '" + chunk.type + "', not a 13-byte 'IHDR'";
        return false;
    }
    const uint32_t width = readU32BE(chunk.data), height = readU32BE(chunk.data + 4);
    const uint8_t depth = chunk.data[8], colourType = chunk.data[9];
    if (colourType != kColourTypeIndexed) {
        const char* name = colourTypeName(colourType);
        error = *name ? std::string("a ") + name +
                            " PNG has no palette (only indexed PNGs, colour type 3, have one)"
                      : "unknown PNG colour type " + std::to_string(colourType);
        return false;
    }
    if (depth != 1 && depth != 2 && depth != 4 && depth != 8) {
        error = "bit depth " + std::to_string(depth) + " is not one an indexed PNG can have";
        return false;
    }
    if (width == 0 || height == 0 || width > kMaxChunkLength || height > kMaxChunkLength) {
        error = "bad image size " + std::to_string(width) + " x " + std::to_string(height);
        return false;
    }
    return checkHeaderMethods(chunk.data, error);
}

void appendChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
    appendU32BE(out, uint32_t(data.size()));
    const size_t typeAt = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    appendU32BE(out, crcOf(&out[typeAt], data.size() + 4));
}

// Where the pixels of one pass of rows begin and how far apart they lie.
struct PngPass {
    uint32_t x, y, dx, dy;
};
const PngPass kWholePicture = {0, 0, 1, 1};
const PngPass kAdam7Passes[7] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                 {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};

// Paeth's predictor as PNG filter type 4 uses it.
uint8_t paeth(int left, int up, int upLeft) {
    const int estimate = left + up - upLeft;
    const int toLeft = std::abs(estimate - left), toUp = std::abs(estimate - up),
              toUpLeft = std::abs(estimate - upLeft);
    if (toLeft <= toUp && toLeft <= toUpLeft) return uint8_t(left);
    return uint8_t(toUp <= toUpLeft ? up : upLeft);
}

// Undoes the filter of each row in place; rows are `stride` bytes after their
// filter byte, and an indexed pixel never spans more than one byte.
bool unfilterRows(uint8_t* rows, size_t stride, size_t height, std::string& error) {
    for (size_t y = 0; y < height; ++y) {
        uint8_t* row = &rows[y * (stride + 1)];
        const uint8_t* above = y ? row - (stride + 1) : nullptr;
        const uint8_t filter = row[0];
        for (size_t x = 1; x <= stride; ++x) {
            const int left = x > 1 ? row[x - 1] : 0, up = above ? above[x] : 0,
                      upLeft = (above && x > 1) ? above[x - 1] : 0;
            switch (filter) {
                case 0: break;
                case 1: row[x] = uint8_t(row[x] + left); break;
                case 2: row[x] = uint8_t(row[x] + up); break;
                case 3: row[x] = uint8_t(row[x] + (left + up) / 2); break;
                case 4: row[x] = uint8_t(row[x] + paeth(left, up, upLeft)); break;
                default:
                    error = "the image data is damaged: row " + std::to_string(y) + " has filter type " +
                            std::to_string(filter);
                    return false;
            }
        }
    }
    return true;
}

}  // namespace

bool hasPngSignature(ByteView bytes) {
    return bytes.size() >= sizeof kPngSignature &&
           std::memcmp(bytes.data(), kPngSignature, sizeof kPngSignature) == 0;
}

bool parsePng(ByteView bytes, PaletteFile& palette, std::string& error) {
    bool sawPalette = false, sawData = false;
    size_t at = sizeof kPngSignature;
    for (bool first = true;; first = false) {
        if (at == bytes.size()) {
            error = "truncated: the file ends before the 'IEND' chunk";
            return false;
        }
        PngChunk chunk;
        if (!readChunk(bytes, at, chunk, error)) return false;
        if (first) {
            if (!checkHeader(chunk, error)) return false;
            palette.pictureOffset = at + 8;
        } else if (chunk.type == "IHDR") {
            error = "a second 'IHDR' chunk at byte " + std::to_string(at);
            return false;
        } else if (chunk.type == "PLTE") {
            const uint32_t count = chunk.length / 3;
            if (sawPalette || sawData) {
                error = sawPalette ? "a second 'PLTE' chunk" : "the 'PLTE' chunk follows 'IDAT'";
                return false;
            }
            if (chunk.length % 3 != 0 || count == 0) {
                error = "the 'PLTE' chunk's length " + std::to_string(chunk.length) +
                        " is not a whole number of colours";
                return false;
            }
            if (count > kMaxBitmapColours) {
                error = "the 'PLTE' chunk holds " + std::to_string(count) + " colours, more than " +
                        std::to_string(kMaxBitmapColours);
                return false;
            }
            sawPalette = true;
            palette.paletteChunkOffset = at;
            palette.rgbTables.push_back({at + 8, count});
            for (uint32_t i = 0; i < count; ++i)
                palette.colours.push_back(
                    {chunk.data[3 * i], chunk.data[3 * i + 1], chunk.data[3 * i + 2]});
        } else if (chunk.type == "IDAT") {
            if (!sawPalette) {
                error = "an indexed PNG without a 'PLTE' chunk before its 'IDAT'";
                return false;
            }
            sawData = true;
        } else if (chunk.type == "IEND") {
            break;
        }
        at = chunk.next;
    }
    if (!sawData) {
        error = "no 'IDAT' chunk";
        return false;
    }
    palette.pictureColourStart = 0;
    palette.pictureColourCount = palette.colours.size();
    return true;
}

void rewritePng(const PaletteFile& original, const std::vector<PaletteColour>& colours,
                PaletteOutput& output) {
    // The PLTE chunk's data and CRC anew; the CRC covers the chunk's type too.
    const RgbTableSpan& table = original.rgbTables[0];
    const size_t type = original.paletteChunkOffset + 4;
    keepRun(output, 0, table.offset);
    appendRgbTriples(colours, 0, table.count, output.fresh);
    uLong crc = crc32(crc32(0L, Z_NULL, 0), &original.bytes[type], 4);
    crc = crc32(crc, output.fresh.data(), uInt(output.fresh.size()));
    appendU32BE(output.fresh, uint32_t(crc));
    output.pieces.push_back({false, 0, output.fresh.size()});
    keepRun(output, table.offset + 3 * table.count + 4, original.bytes.size());
}

bool freshPng(const std::vector<PaletteColour>& colours, std::vector<uint8_t>& out,
              std::string& error) {
    if (colours.empty() || colours.size() > kMaxBitmapColours) {
        error = "an indexed PNG holds 1 to " + std::to_string(kMaxBitmapColours) +
                " colours, this palette has " + std::to_string(colours.size());
        return false;
    }
    std::vector<uint8_t> header;
    appendU32BE(header, uint32_t(colours.size()));             // width
    appendU32BE(header, 1);                                    // height
    const uint8_t rest[5] = {8, kColourTypeIndexed, 0, 0, 0};  // depth, type, methods
    header.insert(header.end(), rest, rest + 5);
    std::vector<uint8_t> table;
    appendRgbTriples(colours, 0, colours.size(), table);
    std::vector<uint8_t> row(1, 0);  // filter type 0, then one pixel per colour
    for (size_t i = 0; i < colours.size(); ++i) row.push_back(uint8_t(i));
    uLongf packedSize = compressBound(uLong(row.size()));
    std::vector<uint8_t> packed(packedSize);
    if (compress(packed.data(), &packedSize, row.data(), uLong(row.size())) != Z_OK) {
        error = "cannot compress the image data";
        return false;
    }
    packed.resize(packedSize);
    out.assign(kPngSignature, kPngSignature + sizeof kPngSignature);
    appendChunk(out, "IHDR", header);
    appendChunk(out, "PLTE", table);
    appendChunk(out, "IDAT", packed);
    appendChunk(out, "IEND", {});
    return true;
}

bool decodePngPixels(const PaletteFile& palette, PicturePixels& picture, std::string& error) {
    picture = PicturePixels();
    ByteView bytes = palette.bytes;
    const uint8_t* header = &bytes[palette.pictureOffset];
    const uint32_t width = readU32BE(header), height = readU32BE(header + 4);
    const unsigned depth = header[8];
    const bool interlaced = header[12] != 0;
    if (uint64_t(width) * height > kMaxPicturePixels) return true;
    // The rows of each pass: the whole picture, or Adam7's seven passes.
    const PngPass* passes = interlaced ? kAdam7Passes : &kWholePicture;
    const int passCount = interlaced ? 7 : 1;
    size_t passWidth[7], passHeight[7], passStride[7], total = 0;
    for (int pass = 0; pass < passCount; ++pass) {
        const PngPass& p = passes[pass];
        passWidth[pass] = width > p.x ? (width - p.x + p.dx - 1) / p.dx : 0;
        passHeight[pass] = height > p.y ? (height - p.y + p.dy - 1) / p.dy : 0;
        passStride[pass] = (passWidth[pass] * depth + 7) / 8;
        if (passWidth[pass] > 0) total += (passStride[pass] + 1) * passHeight[pass];
    }
    std::vector<uint8_t> rows(total);

    z_stream stream = {};
    if (inflateInit(&stream) != Z_OK) {
        error = "cannot start inflating the image data";
        return false;
    }
    stream.next_out = rows.data();
    stream.avail_out = uInt(rows.size());
    int status = Z_OK;
    PngChunk chunk;
    for (size_t at = sizeof kPngSignature; status == Z_OK && stream.avail_out > 0;
         at = chunk.next) {
        readChunk(bytes, at, chunk, error);  // parsePng has checked every chunk
        if (chunk.type == "IEND") break;
        if (chunk.type != "IDAT") continue;
        stream.next_in = const_cast<Bytef*>(chunk.data);
        stream.avail_in = chunk.length;
        while (stream.avail_in > 0 && stream.avail_out > 0 && status == Z_OK)
            status = inflate(&stream, Z_NO_FLUSH);
    }
    const bool complete = stream.avail_out == 0 && (status == Z_OK || status == Z_STREAM_END);
    inflateEnd(&stream);
    if (!complete) {
        error = "the image data is damaged or cut short";
        return false;
    }
    picture.width = width;
    picture.height = height;
    picture.values.resize(size_t(width) * height);
    const unsigned perByte = 8 / depth, mask = (1u << depth) - 1;
    uint8_t* passRows = rows.data();
    for (int pass = 0; pass < passCount; ++pass) {
        if (passWidth[pass] == 0 || passHeight[pass] == 0) continue;
        const size_t stride = passStride[pass];
        if (!unfilterRows(passRows, stride, passHeight[pass], error)) return false;
        const PngPass& p = passes[pass];
        for (size_t y = 0; y < passHeight[pass]; ++y) {
            const uint8_t* row = passRows + y * (stride + 1) + 1;
            uint8_t* out = &picture.values[(p.y + y * p.dy) * size_t(width) + p.x];
            for (size_t x = 0; x < passWidth[pass]; ++x) {
                const unsigned shift = 8 - depth * (1 + unsigned(x % perByte));
                out[x * p.dx] = uint8_t((row[x / perByte] >> shift) & mask);
            }
        }
        passRows += (stride + 1) * passHeight[pass];
    }
    return true;
}
