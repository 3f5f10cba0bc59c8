// A run of bytes that belongs to someone else: a file mapped into memory, a
// vector, the new bytes of an output. Readers index it as they would the
// vector it often stands for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct ByteView {
    const uint8_t* start = nullptr;
    size_t length = 0;

    const uint8_t* data() const { return start; }
    size_t size() const { return length; }
    bool empty() const { return length == 0; }
    const uint8_t* begin() const { return start; }
    const uint8_t* end() const { return start + length; }
    const uint8_t& operator[](size_t at) const { return start[at]; }
};

inline ByteView viewOf(const std::vector<uint8_t>& bytes) { return {bytes.data(), bytes.size()}; }
