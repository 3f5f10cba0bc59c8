// A test that runs against a fresh stand-in host, connected through the
// support library's DDE client.
#pragma once

#include <gtest/gtest.h>

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

// Reads a little-endian field of a DIB header.
inline uint32_t dibField32(const std::vector<uint8_t>& block, size_t at) {
    return uint32_t(block[at]) | uint32_t(block[at + 1]) << 8 | uint32_t(block[at + 2]) << 16 |
           uint32_t(block[at + 3]) << 24;
}
inline uint16_t dibField16(const std::vector<uint8_t>& block, size_t at) {
    return uint16_t(block[at] | block[at + 1] << 8);
}
