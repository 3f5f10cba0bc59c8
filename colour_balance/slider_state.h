// The user's settings: two complete slider states A and B, the tone range that
// the balance sliders show, and the brightness-preservation switch.
// Platform-free: no window-system types here.
#pragma once

#include <string>

enum ToneRange { Lows = 0, Mediums = 1, Heights = 2, All = 3 };
enum BalanceAxis { CyanRed = 0, MagentaGreen = 1, YellowBlue = 2 };

constexpr int kToneRangeCount = 4;
constexpr int kBalanceAxisCount = 3;
constexpr int kSliderStateCount = 2;

constexpr float kDefaultLowsBelow = 0.2f;
constexpr float kDefaultHeightsAbove = 0.8f;

// Trackbar ranges: balance sliders run 0..512 (centre 256), thresholds 0..256.
constexpr int kBalanceTrackbarMax = 512;
constexpr int kThresholdTrackbarMax = 256;

struct SliderState {
    float lowsBelow;      // luminance below this: a Low
    float heightsAbove;   // luminance above this: a Height
    float balance[kToneRangeCount][kBalanceAxisCount];  // each in [-1, +1]
};

struct BalanceSettings {
    SliderState states[kSliderStateCount];  // 0 = "State A", 1 = "State B"
    int currentState;
    int currentRange;  // a ToneRange
    bool preserveBrightness;
};

// The window and the apply operation are built on top of this model; they
// install these hooks so that the state operations can refresh what the user
// sees. A hook left null is skipped, so the operations work on the record alone.
struct SettingsHooks {
    void (*syncSliders)();
    void (*refreshInfoLine)();
    void (*applyBalance)(bool force);
};

// A cleared slider state, and the settings at start-up: both states cleared,
// state A and range All shown, brightness preservation on.
constexpr SliderState kDefaultSliderState = {kDefaultLowsBelow, kDefaultHeightsAbove, {}};
constexpr BalanceSettings kDefaultBalanceSettings = {{kDefaultSliderState, kDefaultSliderState}, 0, All, true};

extern BalanceSettings balanceSettings;
extern SettingsHooks settingsHooks;

// Puts the process-wide record back to its start-up values.
void initBalanceSettings();

// The slider state that the sliders edit and the transform uses.
SliderState& currentSliderState();

const char* stateDisplayName(int state);   // "State A", "State B"
const char* rangeDisplayName(int range);   // "Lows", "Mediums", "Heights", "All"
const char* axisDisplayName(int axis);     // "CyanRed", "MagentaGreen", "YellowBlue"

// The window's info line for `settings`: two lines, the state and range shown
// with the three balance values, then the two thresholds, e.g.
// "State A.All      (+0.25 +0.00 -0.50)\nlows-below: 0.20 heights-above: 0.80".
std::string formatInfoLine(const BalanceSettings& settings);

// Value <-> trackbar position conversions.
float balanceFromPosition(int position);    // (p - 256) / 256, rounded to float
int balanceToPosition(float value);         // 256 - trunc(-256 * value)
float thresholdFromPosition(int position);  // p / 256
int thresholdToPosition(float value);       // trunc(256 * value)

// State operations. "Refresh" below means syncSliders, refreshInfoLine and a
// forced apply, in that order.
void clearState(int state);           // defaults; refreshes if it is the current state
void copyState(int from, int to);     // refreshes if `to` is the current state
void resetAll();                      // state A, range All, both states cleared
void resetVisible();                  // shown range's balance and both thresholds; syncSliders only
void resetAxis(int axis);             // one balance value of the shown range; caller refreshes
void resetLowsBelow();                // caller refreshes
void resetHeightsAbove();             // caller refreshes
void refreshAfterChange();            // syncSliders, refreshInfoLine, forced apply
