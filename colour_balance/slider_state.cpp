#include "slider_state.h"

#include <cmath>

// Constant-initialised, so the record holds its start-up values before any
// code runs.
BalanceSettings balanceSettings = {
    {{kDefaultLowsBelow, kDefaultHeightsAbove, {}}, {kDefaultLowsBelow, kDefaultHeightsAbove, {}}},
    0, All, true};
SettingsHooks settingsHooks = {nullptr, nullptr, nullptr};

static void setDefaults(SliderState& state) {
    state.lowsBelow = kDefaultLowsBelow;
    state.heightsAbove = kDefaultHeightsAbove;
    for (auto& range : state.balance)
        for (float& value : range) value = 0.0f;
}

void initBalanceSettings() {
    for (SliderState& state : balanceSettings.states) setDefaults(state);
    balanceSettings.currentState = 0;
    balanceSettings.currentRange = All;
    balanceSettings.preserveBrightness = true;
}

SliderState& currentSliderState() {
    return balanceSettings.states[balanceSettings.currentState];
}

const char* stateDisplayName(int state) {
    static const char* const names[kSliderStateCount] = {"State A", "State B"};
    return (state >= 0 && state < kSliderStateCount) ? names[state] : "";
}

const char* rangeDisplayName(int range) {
    static const char* const names[kToneRangeCount] = {"Lows", "Mediums", "Heights", "All"};
    return (range >= 0 && range < kToneRangeCount) ? names[range] : "";
}

const char* axisDisplayName(int axis) {
    static const char* const names[kBalanceAxisCount] = {"CyanRed", "MagentaGreen", "YellowBlue"};
    return (axis >= 0 && axis < kBalanceAxisCount) ? names[axis] : "";
}

float balanceFromPosition(int position) {
    return static_cast<float>((position - 256) / 256.0);
}

int balanceToPosition(float value) {
    return 256 - static_cast<int>(std::trunc(-256.0 * value));
}

float thresholdFromPosition(int position) {
    return static_cast<float>(position / 256.0);
}

int thresholdToPosition(float value) {
    return static_cast<int>(std::trunc(256.0 * value));
}

void refreshAfterChange() {
    if (settingsHooks.syncSliders) settingsHooks.syncSliders();
    if (settingsHooks.refreshInfoLine) settingsHooks.refreshInfoLine();
    if (settingsHooks.applyBalance) settingsHooks.applyBalance(true);
}

void clearState(int state) {
    setDefaults(balanceSettings.states[state]);
    if (state == balanceSettings.currentState) refreshAfterChange();
}

void copyState(int from, int to) {
    balanceSettings.states[to] = balanceSettings.states[from];
    if (to == balanceSettings.currentState) refreshAfterChange();
}

void resetAll() {
    balanceSettings.currentState = 0;
    balanceSettings.currentRange = All;
    for (int state = 0; state < kSliderStateCount; ++state) {
        setDefaults(balanceSettings.states[state]);
        if (state == balanceSettings.currentState) refreshAfterChange();
    }
    if (settingsHooks.syncSliders) settingsHooks.syncSliders();
    if (settingsHooks.refreshInfoLine) settingsHooks.refreshInfoLine();
}

void resetVisible() {
    SliderState& state = currentSliderState();
    for (float& value : state.balance[balanceSettings.currentRange]) value = 0.0f;
    state.lowsBelow = kDefaultLowsBelow;
    state.heightsAbove = kDefaultHeightsAbove;
    if (settingsHooks.syncSliders) settingsHooks.syncSliders();
}

void resetAxis(int axis) {
    currentSliderState().balance[balanceSettings.currentRange][axis] = 0.0f;
}

void resetLowsBelow() { currentSliderState().lowsBelow = kDefaultLowsBelow; }

void resetHeightsAbove() { currentSliderState().heightsAbove = kDefaultHeightsAbove; }
