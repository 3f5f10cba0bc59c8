#include "slider_state.h"

#include <cmath>
#include <cstdio>

// Constant-initialised, so the record holds its start-up values before any
// code runs.
BalanceSettings balanceSettings = kDefaultBalanceSettings;
SettingsHooks settingsHooks = {nullptr, nullptr, nullptr};

static void setDefaults(SliderState& state) { state = kDefaultSliderState; }

void initBalanceSettings() { balanceSettings = kDefaultBalanceSettings; }

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

std::string formatInfoLine(const BalanceSettings& settings) {
    const SliderState& state = settings.states[settings.currentState];
    const float* balance = state.balance[settings.currentRange];
    char text[128];
    std::snprintf(text, sizeof text, "%s.%-8s (%+3.2f %+3.2f %+3.2f)\nlows-below: %3.2f heights-above: %3.2f",
                  stateDisplayName(settings.currentState), rangeDisplayName(settings.currentRange),
                  static_cast<double>(balance[CyanRed]), static_cast<double>(balance[MagentaGreen]),
                  static_cast<double>(balance[YellowBlue]), static_cast<double>(state.lowsBelow),
                  static_cast<double>(state.heightsAbove));
    return text;
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
