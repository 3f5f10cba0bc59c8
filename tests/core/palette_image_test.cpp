// The bounded size rule that decides how much of a clipboard block is copied.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "palette_image.h"

namespace {

std::vector<uint8_t> header(int32_t size, int32_t width, int32_t height, uint32_t colours) {
    std::vector<uint8_t> block(kPaletteHeaderBytes, 0);
    std::memcpy(&block[0], &size, 4);
    std::memcpy(&block[4], &width, 4);
    std::memcpy(&block[8], &height, 4);
    std::memcpy(&block[32], &colours, 4);
    return block;
}

}  // namespace

TEST(PaletteSizeRule, BoundedByTheBlockAndByOverflow) {
    static const struct {
        const char* name;
        int32_t size, width, height;
        uint32_t colours;
        size_t available;
        int32_t expected;
    } cases[] = {
        // name                        biSize width height colours available expected
        {"host's 16x16, 256 colours",   40, 16, 16, 256, 40 + 1024 + 1024, 40 + 1024 + 1024},
        {"block larger than the rule",  40, 16, 16, 256, 4096, 2088},
        {"8-bit pixels: rule too big",  40, 16, 16, 256, 40 + 1024 + 256, 40 + 1024 + 256},
        {"negative height",             40, 16, -16, 8, 40 + 32 + 1024, 40 + 32 + 1024},
        {"colour count 0",              40, 2, 2, 0, 56, 56},
        {"huge colour count",           40, 16, 16, 0xFFFFFFFFu, 1000, 1000},
        {"width x height overflows",    40, 0x7FFFFFFF, 0x7FFFFFFF, 0xFFFFFFFFu, 500, 500},
        {"most negative sizes",         40, INT32_MIN, 0x7FFFFFFF, 0, 300, 300},
        {"negative biSize",             -1000, 1, 1, 1, 64, 64},
        {"header only",                 40, 0, 0, 0, 40, 40},
        {"top-down, exactly the block", 40, 16, -16, 256, 40 + 1024 + 1024, 40 + 1024 + 1024},
        {"rule short of its table",     40, 1, -1, 8, 200, 200},
    };
    for (const auto& c : cases) {
        const std::vector<uint8_t> block = header(c.size, c.width, c.height, c.colours);
        EXPECT_EQ(c.expected, boundedPaletteBytes(block.data(), c.available)) << c.name;
    }
    const std::vector<uint8_t> block = header(40, 16, 16, 256);
    EXPECT_EQ(-1, boundedPaletteBytes(block.data(), 39)) << "a block shorter than a header is refused";
}

TEST(PaletteSizeRule, UsableEntriesStayInsideTheBlock) {
    const std::vector<uint8_t> block = header(40, 16, 16, 1000);
    EXPECT_EQ(0u, usablePaletteEntries(block.data(), 39));
    EXPECT_EQ(0u, usablePaletteEntries(block.data(), 43));
    EXPECT_EQ(1u, usablePaletteEntries(block.data(), 44));
    EXPECT_EQ(1000u, usablePaletteEntries(block.data(), 40 + 4000 + 1));
    EXPECT_EQ(999u, usablePaletteEntries(block.data(), 40 + 3999));
}
