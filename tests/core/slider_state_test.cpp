// The settings record, its conversions and its operations with the refresh
// order seen through recording hooks.
#include <gtest/gtest.h>

#include <string>

#include "slider_state.h"

namespace {

std::string calls;
void recordSync() { calls += "sync "; }
void recordInfo() { calls += "info "; }
void recordApply(bool force) { calls += force ? "apply! " : "apply "; }

class SliderStateTest : public ::testing::Test {
protected:
    void SetUp() override {
        initBalanceSettings();
        settingsHooks = {recordSync, recordInfo, recordApply};
        calls.clear();
    }
    void TearDown() override {
        settingsHooks = {nullptr, nullptr, nullptr};
        initBalanceSettings();
    }
};

const std::string kRefresh = "sync info apply! ";

}  // namespace

TEST(SliderStateDefaults, StartUpValues) {
    initBalanceSettings();
    EXPECT_EQ(0, balanceSettings.currentState);
    EXPECT_EQ(All, balanceSettings.currentRange);
    EXPECT_TRUE(balanceSettings.preserveBrightness);
    for (const SliderState& state : balanceSettings.states) {
        EXPECT_EQ(0.2f, state.lowsBelow);
        EXPECT_EQ(0.8f, state.heightsAbove);
        for (const auto& range : state.balance)
            for (float value : range) EXPECT_EQ(0.0f, value);
    }
    EXPECT_STREQ("State B", stateDisplayName(1));
    EXPECT_STREQ("Mediums", rangeDisplayName(Mediums));
    EXPECT_STREQ("YellowBlue", axisDisplayName(YellowBlue));
}

// The one place the info line's format is written out: state and range
// padded to 8, signed balances, and values that round to zero keep their sign.
TEST(InfoLine, ShowsStateRangeBalanceAndThresholds) {
    struct Case {
        int state, range;
        float cyanRed, magentaGreen, yellowBlue, lowsBelow, heightsAbove;
        const char* expected;
    } cases[] = {
        {0, All, 0, 0, 0, 0.2f, 0.8f, "State A.All      (+0.00 +0.00 +0.00)\nlows-below: 0.20 heights-above: 0.80"},
        {1, Mediums, -1, 1, -1.0f / 256, 1, 0,
         "State B.Mediums  (-1.00 +1.00 -0.00)\nlows-below: 1.00 heights-above: 0.00"},
        {0, Heights, 0.5f, -0.25f, 1.0f / 256, 52.0f / 256, 50.0f / 256,
         "State A.Heights  (+0.50 -0.25 +0.00)\nlows-below: 0.20 heights-above: 0.20"},
        {1, Lows, -0.99609375f, 0.99609375f, 0, 0, 1,
         "State B.Lows     (-1.00 +1.00 +0.00)\nlows-below: 0.00 heights-above: 1.00"},
        {0, All, 44.0f / 256, 0, 0, 0.2f, 0.8f, "State A.All      (+0.17 +0.00 +0.00)\nlows-below: 0.20 heights-above: 0.80"},
    };
    for (const Case& c : cases) {
        BalanceSettings settings = kDefaultBalanceSettings;
        settings.currentState = c.state;
        settings.currentRange = c.range;
        SliderState& state = settings.states[c.state];
        state.balance[c.range][CyanRed] = c.cyanRed;
        state.balance[c.range][MagentaGreen] = c.magentaGreen;
        state.balance[c.range][YellowBlue] = c.yellowBlue;
        state.lowsBelow = c.lowsBelow;
        state.heightsAbove = c.heightsAbove;
        // Only the shown state and range count.
        settings.states[1 - c.state].balance[c.range][CyanRed] = 0.75f;
        settings.states[c.state].balance[(c.range + 1) % kToneRangeCount][CyanRed] = 0.75f;
        EXPECT_EQ(formatInfoLine(settings), c.expected);
    }
}

TEST(SliderConversions, BalanceAndThresholdPositions) {
    static const struct { int position; float value; } balance[] = {
        {0, -1.0f}, {255, -1.0f / 256}, {256, 0.0f}, {257, 1.0f / 256}, {512, 1.0f}};
    for (const auto& sample : balance) {
        EXPECT_EQ(sample.value, balanceFromPosition(sample.position)) << "position " << sample.position;
        EXPECT_EQ(sample.position, balanceToPosition(sample.value)) << "position " << sample.position;
    }
    for (int position = 0; position <= kBalanceTrackbarMax; ++position)
        ASSERT_EQ(position, balanceToPosition(balanceFromPosition(position)));
    for (int position = 0; position <= kThresholdTrackbarMax; ++position)
        ASSERT_EQ(position, thresholdToPosition(thresholdFromPosition(position)));

    EXPECT_EQ(51, thresholdToPosition(kDefaultLowsBelow));
    EXPECT_EQ(204, thresholdToPosition(kDefaultHeightsAbove));
    // One step up from the default shows as 52 and stores 52/256, not 0.2 + 1/256.
    EXPECT_EQ(52.0f / 256, thresholdFromPosition(52));
    EXPECT_NE(kDefaultLowsBelow + 1.0f / 256, thresholdFromPosition(52));
    EXPECT_EQ(50.0f / 256, thresholdFromPosition(50));
}

TEST_F(SliderStateTest, ClearAndCopyRefreshOnlyForTheCurrentState) {
    balanceSettings.states[0].balance[Lows][CyanRed] = 0.5f;
    balanceSettings.states[0].lowsBelow = 0.3f;

    copyState(0, 1);  // into B while A is current: nothing on screen
    EXPECT_EQ("", calls);
    EXPECT_EQ(0.5f, balanceSettings.states[1].balance[Lows][CyanRed]);
    EXPECT_EQ(0.3f, balanceSettings.states[1].lowsBelow);

    clearState(1);
    EXPECT_EQ("", calls);
    EXPECT_EQ(0.0f, balanceSettings.states[1].balance[Lows][CyanRed]);
    EXPECT_EQ(0.2f, balanceSettings.states[1].lowsBelow);

    copyState(1, 0);  // B into A while A is current
    EXPECT_EQ(kRefresh, calls);
    EXPECT_EQ(0.0f, balanceSettings.states[0].balance[Lows][CyanRed]);

    calls.clear();
    balanceSettings.states[0].heightsAbove = 0.5f;
    clearState(0);
    EXPECT_EQ(kRefresh, calls);
    EXPECT_EQ(0.8f, balanceSettings.states[0].heightsAbove);
}

TEST_F(SliderStateTest, ResetAllReturnsToStateAAllAndRefreshesOnce) {
    balanceSettings.currentState = 1;
    balanceSettings.currentRange = Heights;
    balanceSettings.preserveBrightness = false;
    balanceSettings.states[0].balance[Heights][YellowBlue] = -1.0f;
    balanceSettings.states[1].balance[All][MagentaGreen] = 1.0f;
    resetAll();
    EXPECT_EQ(0, balanceSettings.currentState);
    EXPECT_EQ(All, balanceSettings.currentRange);
    EXPECT_FALSE(balanceSettings.preserveBrightness);  // not touched
    EXPECT_EQ(0.0f, balanceSettings.states[0].balance[Heights][YellowBlue]);
    EXPECT_EQ(0.0f, balanceSettings.states[1].balance[All][MagentaGreen]);
    EXPECT_EQ(kRefresh + "sync info ", calls);
}

TEST_F(SliderStateTest, VisibleAndSingleResetsTouchOnlyTheirValues) {
    SliderState& a = balanceSettings.states[0];
    balanceSettings.currentRange = Mediums;
    for (auto& range : a.balance)
        for (float& value : range) value = 0.5f;
    a.lowsBelow = 0.1f;
    a.heightsAbove = 0.9f;

    resetAxis(MagentaGreen);
    EXPECT_EQ(0.0f, a.balance[Mediums][MagentaGreen]);
    EXPECT_EQ(0.5f, a.balance[Mediums][CyanRed]);
    resetLowsBelow();
    EXPECT_EQ(0.2f, a.lowsBelow);
    EXPECT_EQ(0.5f, a.balance[Lows][CyanRed]);  // the Lows balance stays
    resetHeightsAbove();
    EXPECT_EQ(0.8f, a.heightsAbove);
    EXPECT_EQ(0.5f, a.balance[Heights][CyanRed]);
    EXPECT_EQ("", calls);

    a.lowsBelow = 0.1f;
    resetVisible();
    EXPECT_EQ("sync ", calls);
    for (float value : a.balance[Mediums]) EXPECT_EQ(0.0f, value);
    EXPECT_EQ(0.2f, a.lowsBelow);
    EXPECT_EQ(0.5f, a.balance[All][CyanRed]);  // other ranges untouched
    EXPECT_EQ(0.5f, a.balance[Lows][YellowBlue]);
}

TEST(SliderStateWithoutHooks, OperationsStillChangeTheRecord) {
    settingsHooks = {nullptr, nullptr, nullptr};
    initBalanceSettings();
    balanceSettings.states[0].balance[All][CyanRed] = 1.0f;
    copyState(0, 1);
    clearState(0);
    EXPECT_EQ(1.0f, balanceSettings.states[1].balance[All][CyanRed]);
    EXPECT_EQ(0.0f, balanceSettings.states[0].balance[All][CyanRed]);
    resetAll();
    EXPECT_EQ(0.0f, balanceSettings.states[1].balance[All][CyanRed]);
}
