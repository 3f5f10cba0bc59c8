#include "end_to_end_fixture.h"

#include <algorithm>
#include <sstream>

std::string describeTableDifference(const std::vector<uint8_t>& expected, const std::vector<uint8_t>& actual) {
    std::ostringstream text;
    if (expected.size() != actual.size()) {
        text << "sizes differ: expected " << expected.size() << " bytes, got " << actual.size();
        return text.str();
    }
    int differing = 0;
    for (size_t i = 0; i + 3 < expected.size(); i += 4) {
        if (std::equal(expected.begin() + i, expected.begin() + i + 4, actual.begin() + i)) continue;
        if (++differing <= 3)
            text << "entry " << i / 4 << ": expected bgr " << int(expected[i]) << "," << int(expected[i + 1]) << ","
                 << int(expected[i + 2]) << " got " << int(actual[i]) << "," << int(actual[i + 1]) << ","
                 << int(actual[i + 2]) << "; ";
    }
    text << differing << " entries differ";
    return text.str();
}

void PluginEndToEnd::TearDown() {
    run.stop();
    stopMessageBoxWatcher();
    stopStandInHost(host);
}

void PluginEndToEnd::startSession(const char* hostOptions, PluginBuild build, int x, int y, bool readHostPalette) {
    expected = ExpectedSettings();
    ASSERT_TRUE(startStandInHost(host, hostOptions));
    if (readHostPalette) {
        // The host's palette as the plugin will fetch it, read with a client
        // of the test's own before the plugin connects.
        ASSERT_TRUE(connectTestClient());
        const bool fetched = fetchHostPalette(pluginSource);
        disconnectTestClient();
        ASSERT_TRUE(fetched) << "the host did not give its palette";
        ASSERT_GE(pluginSource.size(), 40u + 4u);
        ASSERT_GE(pluginSource.size(), 40u + 4u * colourCount(pluginSource));
        hostTable = colourTable(pluginSource);
    }
    ASSERT_TRUE(startMessageBoxWatcher(true));
    ASSERT_TRUE(run.start(build, x, y)) << "the plugin window did not open";
    palettesChecked = hostReceivedPalettes(host).size();
    commandsChecked = hostExecutedCommands(host).size();
}

std::vector<std::vector<uint8_t>> PluginEndToEnd::newPalettes() {
    std::vector<std::vector<uint8_t>> all = hostReceivedPalettes(host);
    std::vector<std::vector<uint8_t>> fresh(all.begin() + std::min(palettesChecked, all.size()), all.end());
    palettesChecked = all.size();
    return fresh;
}

std::vector<std::string> PluginEndToEnd::newCommandWords() {
    std::vector<HostCommandRecord> all = hostExecutedCommands(host);
    std::vector<std::string> words;
    for (size_t i = commandsChecked; i < all.size(); ++i) words.push_back(all[i].word);
    commandsChecked = all.size();
    return words;
}

LRESULT PluginEndToEnd::probe(unsigned item) {
    LRESULT value = kProbeNoSuchItem;
    EXPECT_TRUE(probeRead(run.probe, item, value)) << "probe item " << item << " not answered";
    return value;
}

void PluginEndToEnd::checkWindow(const std::string& context) {
    const SliderState& state = expected.current();
    struct Slider {
        const char* name;
        HWND trackbar;
        int position;
    } sliders[] = {
        {"CyanRed", run.controls.balanceTrackbars[0], balanceToPosition(state.balance[expected.currentRange][0])},
        {"MagentaGreen", run.controls.balanceTrackbars[1], balanceToPosition(state.balance[expected.currentRange][1])},
        {"YellowBlue", run.controls.balanceTrackbars[2], balanceToPosition(state.balance[expected.currentRange][2])},
        {"lows-below", run.controls.lowsBelowTrackbar, thresholdToPosition(state.lowsBelow)},
        {"heights-above", run.controls.heightsAboveTrackbar, thresholdToPosition(state.heightsAbove)},
    };
    for (const Slider& slider : sliders)
        EXPECT_EQ(trackbarPosition(slider.trackbar), slider.position) << context << ": " << slider.name << " slider";
    EXPECT_EQ(windowText(run.controls.infoLine), expectedInfoLine(expected)) << context << ": info line";
}

void PluginEndToEnd::checkStoredSettings(const std::string& context) {
    if (!run.probe) return;
    EXPECT_EQ(probe(kProbeCurrentState), expected.currentState) << context << ": current state";
    EXPECT_EQ(probe(kProbeCurrentRange), expected.currentRange) << context << ": current range";
    EXPECT_EQ(probe(kProbePreserveBrightness), expected.preserveBrightness ? 1 : 0) << context << ": preservation";
    EXPECT_EQ(probe(kProbeMenuCheck), expected.preserveBrightness ? 1 : 0) << context << ": check mark";
    EXPECT_EQ(probe(kProbeTransformBusy), 0) << context << ": busy flag";
    static const char* const rangeNames[4] = {"Lows", "Mediums", "Heights", "All"};
    static const char* const axisNames[3] = {"CyanRed", "MagentaGreen", "YellowBlue"};
    for (int s = 0; s < 2; ++s) {
        const SliderState& state = expected.states[s];
        const char* stateName = s ? "state B" : "state A";
        for (int r = 0; r < 4; ++r)
            for (int a = 0; a < 3; ++a) {
                const uint32_t bits = uint32_t(probe(probeBalanceItem(s, r, a)));
                EXPECT_EQ(bits, floatBits(state.balance[r][a]))
                    << context << ": " << stateName << " " << rangeNames[r] << " " << axisNames[a] << " holds "
                    << floatFromBits(bits) << ", expected " << state.balance[r][a];
            }
        const uint32_t lows = uint32_t(probe(probeThresholdItem(s, kProbeLowsBelowField)));
        const uint32_t heights = uint32_t(probe(probeThresholdItem(s, kProbeHeightsAboveField)));
        EXPECT_EQ(lows, floatBits(state.lowsBelow))
            << context << ": " << stateName << " lows-below holds " << floatFromBits(lows);
        EXPECT_EQ(heights, floatBits(state.heightsAbove))
            << context << ": " << stateName << " heights-above holds " << floatFromBits(heights);
    }
}

void PluginEndToEnd::checkHost(const std::string& context, int fetches, int sends) {
    std::vector<std::string> wanted;
    for (int i = 0; i < fetches; ++i) {
        wanted.push_back("SELECTCOLORLAYER");
        wanted.push_back("SENDPALETTE");
    }
    for (int i = 0; i < sends; ++i) {
        wanted.push_back("SELECTCOLORLAYER");
        wanted.push_back("RECEIVEPALETTE");
    }
    EXPECT_EQ(newCommandWords(), wanted) << context << ": commands the host executed";

    // A fetch takes the host's palette as it is now: the last one it received.
    if (fetches > 0) pluginSource = blockWithTable(pluginSource, hostTable);
    const std::vector<uint8_t> table = expectedTable(pluginSource, expected.current(), expected.preserveBrightness);
    const std::vector<std::vector<uint8_t>> received = newPalettes();
    ASSERT_EQ(received.size(), size_t(sends)) << context << ": palettes the host received";
    for (size_t i = 0; i < received.size(); ++i)
        EXPECT_TRUE(received[i] == table) << context << ": palette " << i << ": "
                                          << describeTableDifference(table, received[i]);
    if (!received.empty()) hostTable = received.back();
}

void PluginEndToEnd::checkOneExchangeAtATime(const std::string& context) {
    const std::vector<HostOverlap> overlaps = hostOverlappingExchanges(host);
    if (!overlaps.empty())
        ADD_FAILURE() << context << ": \"" << overlaps.front().arrived << "\" arrived while \""
                      << overlaps.front().held << "\" was held";
}

void PluginEndToEnd::checkFetchedOnceAndFinalPalette(const std::string& context) {
    const std::vector<std::string> words = newCommandWords();
    const std::vector<std::vector<uint8_t>> received = newPalettes();
    EXPECT_EQ(std::count(words.begin(), words.end(), "SENDPALETTE"), 1) << context << ": fetches";
    // The fetch took the palette the host held then: the last one received before it.
    const size_t sentBefore = size_t(std::count(words.begin(), std::find(words.begin(), words.end(), "SENDPALETTE"),
                                                "RECEIVEPALETTE"));
    ASSERT_LE(sentBefore, received.size()) << context;
    if (sentBefore > 0) hostTable = received[sentBefore - 1];
    pluginSource = blockWithTable(pluginSource, hostTable);
    ASSERT_GT(received.size(), sentBefore) << context << ": no palette after the fetch";
    const std::vector<uint8_t> table = expectedTable(pluginSource, expected.current(), expected.preserveBrightness);
    EXPECT_TRUE(received.back() == table) << context << ": the host's last palette: "
                                          << describeTableDifference(table, received.back());
    hostTable = received.back();
}

bool PluginEndToEnd::waitUntilAppliesDone(DWORD timeoutMs) {
    if (!run.probe) return true;
    return waitUntilPluginIdle(run, timeoutMs);
}

void PluginEndToEnd::checkEverything(const std::string& context, int fetches, int sends) {
    // A slider movement's apply runs after its notification has been handled.
    EXPECT_TRUE(waitUntilAppliesDone()) << context << ": the applies did not end";
    checkWindow(context);
    checkStoredSettings(context);
    checkHost(context, fetches, sends);
}

std::vector<SeenMessageBox> PluginEndToEnd::pluginBoxes() { return messageBoxesSeenFrom(run.process.dwProcessId); }

void PluginEndToEnd::exitAndCheck(int commandId) {
    PostMessageA(run.window, WM_COMMAND, WPARAM(commandId), 0);
    DWORD exitCode = 0xDEADBEEF;
    ASSERT_TRUE(run.waitForExit(10000, exitCode)) << "command " << commandId << ": the plugin did not end";
    EXPECT_EQ(exitCode, 0u) << "command " << commandId;
    EXPECT_TRUE(waitUntil([&] { return !hostLogLinesStarting(host, "DISCONNECT").empty(); }, 5000))
        << "command " << commandId << ": the conversation was not closed";
    EXPECT_TRUE(newPalettes().empty()) << "command " << commandId << ": the exit sent a palette";
}
