// The read-only window that the probed build of the plugin program opens on a
// thread of its own, so that a test in another process can read what the
// window does not show: the stored slider values (bit for bit), the current
// state and range, the brightness switch and its menu check mark, the
// apply's busy flag and whether work for the host is still owed.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstring>

// A message-only window of this class, one per probed plugin process; find it
// with FindWindowExA(HWND_MESSAGE, ...) and the plugin's process id.
constexpr char kProbeWindowClass[] = "ColourBalancePluginProbe";

// Sent to the probe window: wParam names the item, the answer is its value.
constexpr UINT kProbeReadMessage = WM_APP + 1;

// Posted to the plugin's main window, which ignores it, with a number in
// wParam. The plugin's own thread notes the number when it takes the message
// from its queue, and whether it was idle then (kProbeQueueMark): once a
// mark is taken, every message posted before it has been handled.
constexpr UINT kProbeQueueMarkMessage = WM_APP + 0x3F00;

// Items. A float item answers its 32-bit pattern; the others an integer.
// Slider-state floats are kProbeStateBase + state * kProbeStateStride + field,
// with field 0..11 = balance[range][axis] at range * 3 + axis, 12 = lowsBelow,
// 13 = heightsAbove.
enum ProbeItem : unsigned {
    kProbeCurrentState = 1,
    kProbeCurrentRange = 2,
    kProbePreserveBrightness = 3,  // 0 or 1
    kProbeTransformBusy = 4,       // 0 or 1
    kProbeMenuCheck = 5,           // GetMenuState of the brightness item, MF_CHECKED bit
    kProbeHostWorkPending = 6,     // 1 while work for the host is owed or an exchange with it runs
    kProbeQueueMark = 7,           // the last queue mark taken, times 2, plus 1 if the plugin was idle then
    kProbeWineDdeSteps = 8,        // kProbeQueueStepBit and kProbeFreesBit of the Wine DDE steps running
    kProbeStateBase = 100,
};
constexpr LRESULT kProbeQueueStepBit = 1;
constexpr LRESULT kProbeFreesBit = 2;

// The environment variable that makes the probed build take its value for
// the running Wine's release (pretendWineRelease), set by tests before the
// start.
constexpr char kProbeWineReleaseVariable[] = "PROBED_PLUGIN_WINE_RELEASE";
constexpr unsigned kProbeStateStride = 16;
constexpr unsigned kProbeLowsBelowField = 12;
constexpr unsigned kProbeHeightsAboveField = 13;
// Answered for an item that does not exist, so that a wrong item shows.
constexpr LRESULT kProbeNoSuchItem = -1;

inline unsigned probeBalanceItem(int state, int range, int axis) {
    return kProbeStateBase + unsigned(state) * kProbeStateStride + unsigned(range * 3 + axis);
}
inline unsigned probeThresholdItem(int state, unsigned field) {
    return kProbeStateBase + unsigned(state) * kProbeStateStride + field;
}

inline uint32_t floatBits(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}
inline float floatFromBits(uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}
