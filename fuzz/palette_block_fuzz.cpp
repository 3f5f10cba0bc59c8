// Feeds arbitrary clipboard blocks through what the plugin does with a
// CF_DIB block from the host: the bounded size computation, the copy into
// the two palette copies (allocated at exactly the bounded length, so any
// read or write past them shows), and the transform in both modes.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "palette_image.h"
#include "palette_transform.h"
#include "slider_state.h"

// Settings taken from the block's last bytes, so that the fuzzer also
// explores thresholds and balance values.
static SliderState settingsFrom(const uint8_t* data, size_t size) {
    SliderState state = {kDefaultLowsBelow, kDefaultHeightsAbove, {}};
    if (size < 14) return state;
    const uint8_t* tail = data + size - 14;
    state.lowsBelow = thresholdFromPosition(tail[0]);
    state.heightsAbove = thresholdFromPosition(tail[1]);
    for (int range = 0; range < kToneRangeCount; ++range)
        for (int axis = 0; axis < kBalanceAxisCount; ++axis)
            state.balance[range][axis] = balanceFromPosition(tail[2 + 3 * range + axis] * 2 + (tail[0] & 1));
    return state;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const int32_t bytes = boundedPaletteBytes(data, size);
    if (bytes < 0) return 0;  // refused: too short for a header
    uint8_t* source = static_cast<uint8_t*>(std::malloc(size_t(bytes)));
    uint8_t* working = static_cast<uint8_t*>(std::malloc(size_t(bytes)));
    std::memcpy(source, data, size_t(bytes));
    std::memcpy(working, data, size_t(bytes));
    const SliderState state = settingsFrom(data, size);
    rebalancePalette(source, working, bytes, state, (size & 1) != 0);
    // The header and pixels never change; only colour bytes do.
    if (std::memcmp(source, working, size_t(bytes < kPaletteHeaderBytes ? bytes : kPaletteHeaderBytes)) != 0)
        std::abort();
    std::free(source);
    std::free(working);
    return 0;
}
