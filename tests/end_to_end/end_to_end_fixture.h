// A fresh stand-in host and a fresh plugin program for each test, the test's
// own account of what the settings must be, and checks of the three places
// where the settings show: the window (slider positions, info line), the
// plugin's memory (through the probe) and the host (palettes received,
// commands executed).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "byte_fields.h"
#include "palette_transform.h"
#include "plugin_probe.h"
#include "plugin_process.h"
#include "slider_state.h"
#include "test_support.h"

// Test names show the build by name.
inline void PrintTo(PluginBuild build, std::ostream* out) { *out << pluginBuildName(build); }

// What the settings must be after the test's actions, kept by the test in
// the plugin's own record.
struct ExpectedSettings : BalanceSettings {
    ExpectedSettings() : BalanceSettings(kDefaultBalanceSettings) {}
    void clear(int state) { states[state] = kDefaultSliderState; }
    SliderState& current() { return states[currentState]; }
    const SliderState& current() const { return states[currentState]; }
    float& shownBalance(int axis) { return states[currentState].balance[currentRange][axis]; }
};

// The two lines of the info line for `settings`.
inline std::string expectedInfoLine(const ExpectedSettings& settings) { return formatInfoLine(settings); }

inline uint32_t colourCount(const std::vector<uint8_t>& block) {
    return readU32LE(&block[32]);
}

// The colour table of a palette block: biClrUsed entries from byte 40.
inline std::vector<uint8_t> colourTable(const std::vector<uint8_t>& block) {
    return std::vector<uint8_t>(block.begin() + 40, block.begin() + 40 + 4 * colourCount(block));
}

// The colour table that the host must receive when the plugin holds
// `sourceBlock` and applies `state`.
inline std::vector<uint8_t> expectedTable(const std::vector<uint8_t>& sourceBlock, const SliderState& state,
                                          bool preserveBrightness) {
    std::vector<uint8_t> working = sourceBlock;
    rebalancePalette(sourceBlock.data(), working.data(), int32_t(sourceBlock.size()), state, preserveBrightness);
    return colourTable(working);
}

// The block `block` with its colour table replaced by `table`: what a fetch
// gets from a host that has taken `table`.
inline std::vector<uint8_t> blockWithTable(std::vector<uint8_t> block, const std::vector<uint8_t>& table) {
    std::copy(table.begin(), table.end(), block.begin() + 40);
    return block;
}

// Where two colour tables first differ, for failure messages.
std::string describeTableDifference(const std::vector<uint8_t>& expected, const std::vector<uint8_t>& actual);

class PluginEndToEnd : public ::testing::Test {
protected:
    StandInHost host;
    PluginRun run;
    ExpectedSettings expected;
    std::vector<uint8_t> pluginSource;  // the palette block the plugin holds
    std::vector<uint8_t> hostTable;     // the colour table the host holds now
    size_t palettesChecked = 0;         // received palettes already accounted for
    size_t commandsChecked = 0;         // executed commands already accounted for

    void TearDown() override;

    // Starts the host with `hostOptions`, reads its palette through the
    // test's own DDE client (unless `readHostPalette` is false), and starts
    // the plugin build `build` with its window at the pointer (x, y). Boxes
    // of every process are watched.
    void startSession(const char* hostOptions, PluginBuild build, int x = 640, int y = 300,
                      bool readHostPalette = true);

    // The palettes and commands that reached the host since the last call.
    std::vector<std::vector<uint8_t>> newPalettes();
    std::vector<std::string> newCommandWords();

    // Probed build: waits until the plugin has handled every message the
    // test posted, no apply runs and no work for the host is owed; false on
    // time-out.
    bool waitUntilAppliesDone(DWORD timeoutMs = 20000);

    // Checks the window, the probe (for the probed build) and the host after
    // an action, once its applies are done (probed build): the host must
    // have run `fetches` palette fetches and then received `sends` palettes
    // of the expected settings, in this order.
    void checkEverything(const std::string& context, int fetches, int sends);
    void checkWindow(const std::string& context);
    void checkStoredSettings(const std::string& context);
    void checkHost(const std::string& context, int fetches, int sends);

    // Checks the host's log for exchanges that overlap: a command arriving
    // while another is held, or a status request while one is held.
    void checkOneExchangeAtATime(const std::string& context);
    // After actions that fetched once: exactly one "SENDPALETTE" among the
    // new commands, and the host's last palette is the transform, with the
    // expected settings, of the palette the host held when it was fetched.
    void checkFetchedOnceAndFinalPalette(const std::string& context);

    // Message boxes of the plugin's process seen so far.
    std::vector<SeenMessageBox> pluginBoxes();
    // "E&xit Plugin" (or command `commandId`) and the program's end with code
    // 0, its conversation closed.
    void exitAndCheck(int commandId = IDM_EXIT_PLUGIN);

    LRESULT probe(unsigned item);
};
