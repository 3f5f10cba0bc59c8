// A test that runs against a fresh stand-in host, connected through the
// support library's DDE client, and BMP files made for the host to open.
#pragma once

#include <gtest/gtest.h>

#include "byte_fields.h"
#include "test_support.h"

class HostTest : public ::testing::Test {
protected:
    StandInHost host;

    // Starts the host with `options` and connects the test client to it.
    bool startHost(const char* options = "") {
        return startStandInHost(host, options) && connectTestClient();
    }
    void TearDown() override {
        disconnectTestClient();
        stopStandInHost(host);
    }
};

struct BmpShape {
    int32_t width;
    int32_t height;       // negative: top-down rows
    uint16_t bitCount;
    uint32_t compression;
    uint32_t colours;     // biClrUsed as written
    int tableEntries;     // entries actually written
};

// A BMP file whose pixel at (x, y), counted from the top, is (x + 10 * y).
inline std::vector<uint8_t> makeBmp(const BmpShape& shape) {
    const int rows = shape.height < 0 ? -shape.height : shape.height;
    const size_t rowBytes = (size_t(shape.width) + 3) & ~size_t(3);
    const size_t pixelOffset = 14 + 40 + size_t(shape.tableEntries) * 4;
    std::vector<uint8_t> file(pixelOffset + rowBytes * rows, 0);
    auto put32 = [&](size_t at, uint32_t v) { writeU32LE(&file[at], v); };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, uint32_t(file.size()));
    put32(10, uint32_t(pixelOffset));
    put32(14, 40);
    put32(18, uint32_t(shape.width));
    put32(22, uint32_t(shape.height));
    file[26] = 1;
    file[28] = uint8_t(shape.bitCount);
    put32(30, shape.compression);
    put32(46, shape.colours);
    for (int i = 0; i < shape.tableEntries; ++i) {
        file[54 + i * 4] = uint8_t(i);          // blue
        file[54 + i * 4 + 1] = uint8_t(2 * i);  // green
        file[54 + i * 4 + 2] = uint8_t(3 * i);  // red
    }
    for (int y = 0; y < rows; ++y) {
        const int fileRow = shape.height > 0 ? rows - 1 - y : y;
        for (int x = 0; x < shape.width; ++x)
            file[pixelOffset + size_t(fileRow) * rowBytes + x] = uint8_t(x + 10 * y);
    }
    return file;
}
