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
