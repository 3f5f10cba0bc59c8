// The pixels of an indexed picture, as the preview draws them.
#pragma once

#include <cstdint>
#include <vector>

// Pictures larger than this many pixels are not drawn in a preview.
constexpr uint64_t kMaxPicturePixels = uint64_t(1) << 26;

struct PicturePixels {
    uint32_t width = 0, height = 0;  // 0 x 0: no picture
    std::vector<uint8_t> values;     // width * height palette indices, rows top down
};
