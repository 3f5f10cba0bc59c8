// Fetching the host's palette into the two copies, sending the rebalanced
// working copy back, and the apply operation with its busy flag; the
// plugin's code in the test process against the stand-in host.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host_conversation.h"
#include "host_work.h"
#include "palette_exchange.h"
#include "palette_image.h"
#include "palette_transform.h"
#include "slider_state.h"
#include "test_support.h"
#include "user_messages.h"

namespace {

class PaletteExchangeTest : public ::testing::Test {
protected:
    StandInHost host;

    void SetUp() override {
        resetPlugin();
        ASSERT_TRUE(startMessageBoxWatcher());
    }
    void TearDown() override {
        disconnectHost();
        resetPlugin();
        stopMessageBoxWatcher();
        stopStandInHost(host);
    }
    static void resetPlugin() {
        hostLink = HostLink{};
        freePaletteCopies();
        paletteBytes = 0;
        hostWork = HostWork{};
        initBalanceSettings();
    }
    // The host's CF_DIB block as a plain DDE client fetches it.
    bool hostBlock(std::vector<uint8_t>& block) {
        const bool fetched = connectTestClient() && fetchHostPalette(block);
        disconnectTestClient();
        return fetched;
    }
    bool connectPluginTo(const char* options = "") {
        return startStandInHost(host, options) && connectHost();
    }
    // Stops the host and connects the plugin to a new one.
    bool switchHost(const char* options) {
        disconnectHost();
        hostLink = HostLink{};
        stopStandInHost(host);
        return connectPluginTo(options);
    }
};

std::vector<uint8_t> copyOf(const uint8_t* bytes, int32_t count) {
    return bytes ? std::vector<uint8_t>(bytes, bytes + count) : std::vector<uint8_t>();
}

// The colour table that the transform makes of `block` under `state`.
std::vector<uint8_t> expectedTable(const std::vector<uint8_t>& block, const SliderState& state,
                                   bool preserve) {
    std::vector<uint8_t> working = block;
    rebalancePalette(block.data(), working.data(), int32_t(block.size()), state, preserve);
    const size_t entries = usablePaletteEntries(block.data(), int32_t(block.size()));
    return std::vector<uint8_t>(working.begin() + kPaletteHeaderBytes,
                                working.begin() + kPaletteHeaderBytes + 4 * entries);
}

const std::string kSendFailedBox = std::string(kPluginCaption) + "|" + kSendFailedText;
const std::string kFetchFailedBox = std::string(kPluginCaption) + "|" + kFetchFailedText;

void setSomeBalance() {
    SliderState& state = currentSliderState();
    state.balance[Lows][CyanRed] = balanceFromPosition(100);
    state.balance[Mediums][YellowBlue] = balanceFromPosition(400);
    state.balance[Heights][MagentaGreen] = balanceFromPosition(30);
    state.balance[All][CyanRed] = balanceFromPosition(300);
    state.lowsBelow = thresholdFromPosition(70);
}

}  // namespace

TEST_F(PaletteExchangeTest, FetchFillsBothCopiesWithTheHostsBlock) {
    ASSERT_TRUE(startStandInHost(host, ""));
    std::vector<uint8_t> block;
    ASSERT_TRUE(hostBlock(block));
    ASSERT_TRUE(connectHost());
    ASSERT_TRUE(fetchPalette());
    ASSERT_EQ(int32_t(block.size()), paletteBytes);
    EXPECT_EQ(block, copyOf(sourcePalette, paletteBytes));
    EXPECT_EQ(block, copyOf(workingPalette, paletteBytes));
    EXPECT_NE(sourcePalette, workingPalette);
    EXPECT_TRUE(messageBoxesSeen().empty());
}

TEST_F(PaletteExchangeTest, ApplyDeliversTheTransformOfTheHostsPaletteInBothModes) {
    ASSERT_TRUE(startStandInHost(host, ""));
    std::vector<uint8_t> block;
    ASSERT_TRUE(hostBlock(block));
    ASSERT_TRUE(connectHost());
    ASSERT_TRUE(fetchPalette());
    setSomeBalance();
    applyBalance(true);
    balanceSettings.preserveBrightness = false;
    applyBalance(false);
    EXPECT_FALSE(hostWork.transformBusy);
    const std::vector<std::vector<uint8_t>> received = hostReceivedPalettes(host);
    ASSERT_EQ(2u, received.size());
    EXPECT_EQ(expectedTable(block, currentSliderState(), true), received[0]);
    EXPECT_EQ(expectedTable(block, currentSliderState(), false), received[1]);
    EXPECT_EQ(block, copyOf(sourcePalette, paletteBytes)) << "the source copy never changes";
    EXPECT_TRUE(messageBoxesSeen().empty());
}

TEST_F(PaletteExchangeTest, FailedFetchKeepsThePreviousCopiesForTheNextApply) {
    ASSERT_TRUE(startStandInHost(host, ""));
    std::vector<uint8_t> block;
    ASSERT_TRUE(hostBlock(block));
    ASSERT_TRUE(connectHost());
    ASSERT_TRUE(fetchPalette());
    const uint8_t* source = sourcePalette;
    const uint8_t* working = workingPalette;

    ASSERT_TRUE(switchHost("--status-text=Busy"));
    EXPECT_FALSE(fetchPalette());
    EXPECT_EQ((std::vector<std::string>{"Communication Error - Kavrin said:|Busy", kFetchFailedBox}),
              boxesSeen());
    EXPECT_EQ(source, sourcePalette);
    EXPECT_EQ(working, workingPalette);
    EXPECT_EQ(block, copyOf(sourcePalette, paletteBytes));

    // A host that answers again receives the previous palette, rebalanced.
    ASSERT_TRUE(switchHost(""));
    setSomeBalance();
    applyBalance(true);
    const std::vector<std::vector<uint8_t>> received = hostReceivedPalettes(host);
    ASSERT_EQ(1u, received.size());
    EXPECT_EQ(expectedTable(block, currentSliderState(), true), received[0]);
}

TEST_F(PaletteExchangeTest, MalformedBlocksAreCopiedOnlyAsFarAsTheyReach) {
    struct Case {
        const char* flaw;
        bool fetched;
    };
    const Case cases[] = {
        {"short", false},  // shorter than a header: refused, the copies stay
        {"zero-colours", true},
        {"huge-colours", true},
        {"negative-height", true},
        {"small-pixels", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flaw);
        const std::string options = std::string("--malformed=") + c.flaw;
        ASSERT_TRUE(switchHost(options.c_str()));
        // The block as the host leaves it on the clipboard, all of it.
        ASSERT_TRUE(executeCommand(kSelectColorLayer) && statusIsOk());
        ASSERT_TRUE(executeCommand(kSendPaletteCommand) && statusIsOk());
        std::vector<uint8_t> block;
        ASSERT_TRUE(readClipboardDib(nullptr, block));

        freePaletteCopies();
        paletteBytes = 0;
        EXPECT_EQ(c.fetched, fetchPalette());
        if (!c.fetched) {
            EXPECT_EQ(nullptr, sourcePalette);
            EXPECT_EQ(0, paletteBytes);
            continue;
        }
        const int32_t expected = boundedPaletteBytes(block.data(), block.size());
        ASSERT_LE(size_t(paletteBytes), block.size()) << "copied past the block";
        EXPECT_EQ(expected, paletteBytes);
        EXPECT_EQ(std::vector<uint8_t>(block.begin(), block.begin() + paletteBytes),
                  copyOf(sourcePalette, paletteBytes));
        applyBalance(true);  // must not read or write past the copies
        EXPECT_FALSE(hostWork.transformBusy);
    }
}

TEST_F(PaletteExchangeTest, ZeroColourCountStillSends) {
    ASSERT_TRUE(connectPluginTo("--malformed=zero-colours"));
    ASSERT_TRUE(fetchPalette());
    EXPECT_EQ(0u, paletteColourCount(sourcePalette));
    const std::vector<uint8_t> before = copyOf(workingPalette, paletteBytes);
    setSomeBalance();
    applyBalance(true);
    EXPECT_EQ(before, copyOf(workingPalette, paletteBytes)) << "no colours: nothing rewritten";
    const std::vector<HostCommandRecord> commands = hostExecutedCommands(host);
    ASSERT_FALSE(commands.empty());
    EXPECT_EQ("RECEIVEPALETTE", commands.back().word) << "the send happened";
}

TEST_F(PaletteExchangeTest, ApplyWithoutAPaletteFailsAndLeavesTheClipboardAlone) {
    ASSERT_TRUE(connectPluginTo());
    const char kept[] = "the user's clipboard";
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    HGLOBAL text = GlobalAlloc(GMEM_MOVEABLE, sizeof kept);
    std::memcpy(GlobalLock(text), kept, sizeof kept);
    GlobalUnlock(text);
    SetClipboardData(CF_TEXT, text);
    CloseClipboard();

    applyBalance(true);
    EXPECT_EQ(std::vector<std::string>{kSendFailedBox}, boxesSeen());
    EXPECT_FALSE(hostWork.transformBusy);
    ASSERT_TRUE(OpenClipboard(nullptr));
    HANDLE held = GetClipboardData(CF_TEXT);
    ASSERT_NE(nullptr, held);
    EXPECT_STREQ(kept, static_cast<const char*>(GlobalLock(held)));
    GlobalUnlock(held);
    CloseClipboard();
    EXPECT_TRUE(hostExecutedCommands(host).empty()) << "nothing was sent";
}

// An unforced apply sends only a change: of the slider state, the brightness
// mode or the source palette (a new fetch). A forced one always sends.
TEST_F(PaletteExchangeTest, UnforcedAppliesSendOnlyAChange) {
    ASSERT_TRUE(connectPluginTo());
    ASSERT_TRUE(fetchPalette());
    const struct Case {
        const char* name;
        void (*change)();
        bool force;
        bool sends;
    } cases[] = {
        {"the first apply", [] {}, false, true},
        {"nothing changed", [] {}, false, false},
        {"nothing changed, forced", [] {}, true, true},
        {"a balance value", [] { currentSliderState().balance[Mediums][YellowBlue] = 0.5f; }, false, true},
        {"the brightness mode", [] { balanceSettings.preserveBrightness = false; }, false, true},
        {"the other state, equal to the current one",
         [] {
             balanceSettings.states[1] = balanceSettings.states[0];
             balanceSettings.currentState = 1;
         },
         false, false},
        {"a new fetch", [] { fetchPalette(); }, false, true},
        {"a value and back again", [] {
             currentSliderState().lowsBelow = 0.25f;
             currentSliderState().lowsBelow = kDefaultLowsBelow;
         }, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const size_t before = hostReceivedPalettes(host).size();
        c.change();
        applyBalance(c.force);
        const std::vector<std::vector<uint8_t>> received = hostReceivedPalettes(host);
        EXPECT_EQ(received.size() - before, c.sends ? 1u : 0u) << c.name;
    }
    EXPECT_TRUE(messageBoxesSeen().empty());
}

namespace {

// What applies and a fetch asked for inside a running apply's wait did.
struct InsideTheWait {
    bool exchangeRunning = false;
    bool unforcedOwed = false;
    bool forcedOwed = false;
    bool workingUntouched = false;
    bool fetchRefused = false;
} inside;

// Runs inside the outer apply's wait for the host, as a click's handler would.
void CALLBACK applyDuringApply(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    inside.exchangeRunning = hostExchangeRunning();
    const std::vector<uint8_t> before = copyOf(workingPalette, paletteBytes);
    currentSliderState().balance[All][YellowBlue] = 1.0f;
    applyBalance(false);
    inside.unforcedOwed = hostWork.applyOwed == MovementApplyOwed;
    applyBalance(true);
    inside.forcedOwed = hostWork.applyOwed == CommandApplyOwed;
    inside.workingUntouched = copyOf(workingPalette, paletteBytes) == before;
    inside.fetchRefused = !fetchPalette();
}

}  // namespace

// One exchange with the host at a time: an apply or fetch asked for during
// another's wait starts nothing. The apply is owed, a forced one over an
// unforced one, and sends the settings as they are when it runs.
TEST_F(PaletteExchangeTest, AppliesAndFetchesAskedForDuringAnApplyStartNoSecondExchange) {
    ASSERT_TRUE(startStandInHost(host, ""));
    std::vector<uint8_t> block;
    ASSERT_TRUE(hostBlock(block));
    ASSERT_TRUE(switchHost("--delay-ms=400"));
    ASSERT_TRUE(fetchPalette());
    const size_t commandsBefore = hostExecutedCommands(host).size();
    const SliderState outerState = currentSliderState();
    SetTimer(nullptr, 0, 100, applyDuringApply);
    applyBalance(true);
    EXPECT_TRUE(inside.exchangeRunning);
    EXPECT_TRUE(inside.unforcedOwed);
    EXPECT_TRUE(inside.forcedOwed);
    EXPECT_TRUE(inside.workingUntouched) << "a second apply ran inside the first";
    EXPECT_TRUE(inside.fetchRefused);
    EXPECT_FALSE(hostWork.transformBusy);
    EXPECT_FALSE(hostExchangeRunning());
    EXPECT_EQ(hostExecutedCommands(host).size(), commandsBefore + 2) << "only the outer apply's two commands";
    EXPECT_EQ(CommandApplyOwed, hostWork.applyOwed);

    // The owed apply, run once the host is free, sends the settings of now.
    runOwedHostWork();
    EXPECT_EQ(NoApplyOwed, hostWork.applyOwed);
    EXPECT_FALSE(hostWorkOutstanding());
    const std::vector<std::vector<uint8_t>> received = hostReceivedPalettes(host);
    ASSERT_EQ(2u, received.size());
    EXPECT_EQ(expectedTable(block, outerState, true), received[0]);
    EXPECT_EQ(expectedTable(block, currentSliderState(), true), received[1]);
    EXPECT_TRUE(messageBoxesSeen().empty());
}
