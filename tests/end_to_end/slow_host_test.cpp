// The plugin program against a stand-in host that holds every command: a
// drag during the host's wait, and the exit command given during it.
#include <windows.h>
#include <commctrl.h>

#include "end_to_end_fixture.h"

namespace {

size_t heldCommands(const StandInHost& host) { return hostLogLinesStarting(host, "HOLD ").size(); }

class PluginSlowHost : public PluginEndToEnd {
protected:
    // Moves CyanRed to `position` without waiting for the handler, then waits
    // until the window shows the move, and checks that the slider, the stored
    // value and the info line all follow it.
    void dragTo(int position) {
        SCOPED_TRACE("CyanRed dragged to " + std::to_string(position));
        HWND cyanRed = run.controls.balanceTrackbars[0];
        expected.shownBalance(CyanRed) = float((position - 256) / 256.0);
        ASSERT_TRUE(postTrackbarMove(run, cyanRed, position));
        const std::string shown = expectedInfoLine(expected);
        EXPECT_TRUE(waitUntil([&] { return windowText(run.controls.infoLine) == shown; }, 5000))
            << "info line: " << windowText(run.controls.infoLine);
        EXPECT_EQ(trackbarPosition(cyanRed), position);
        EXPECT_EQ(uint32_t(probe(probeBalanceItem(0, All, CyanRed))), floatBits(expected.shownBalance(CyanRed)));
    }

    // The palette the host must get for CyanRed at `position`, all else as
    // at start-up.
    std::vector<uint8_t> tableFor(int position) {
        SliderState state = {0.2f, 0.8f, {}};
        state.balance[All][CyanRed] = float((position - 256) / 256.0);
        return expectedTable(pluginSource, state, true);
    }

    bool waitUntilIdle(DWORD timeoutMs) {
        return waitUntil([&] { return probe(kProbeTransformBusy) == 0; }, timeoutMs);
    }
};

// Two applies run, each started by the first movement after the previous
// one ended; the movements during each apply's wait are shown and stored but
// send nothing. A final forced apply sends the last state.
TEST_F(PluginSlowHost, DragDuringTheHostsWaitKeepsTheWindowCurrentAndSendsOnlyTheAppliesThatRan) {
    // Every command held a second, so an apply takes about two.
    startSession("--delay-ms=1000", PluginBuild::Probed);
    ASSERT_FALSE(HasFatalFailure());
    const std::vector<std::vector<int>> drags = {{270, 290, 310, 330}, {350, 370, 390}};
    std::vector<int> applied;
    for (const std::vector<int>& drag : drags) {
        const size_t heldBefore = heldCommands(host);
        const size_t receivedBefore = hostReceivedPalettes(host).size();
        dragTo(drag[0]);
        ASSERT_TRUE(waitUntil([&] { return heldCommands(host) > heldBefore; }, 5000))
            << "the movement to " << drag[0] << " started no apply";
        applied.push_back(drag[0]);
        EXPECT_EQ(probe(kProbeTransformBusy), 1);
        for (size_t i = 1; i < drag.size(); ++i) {
            dragTo(drag[i]);
            // Still busy with the same apply, which has not yet delivered its
            // palette: this movement came during its wait.
            ASSERT_EQ(probe(kProbeTransformBusy), 1) << "the apply ended before the movement to " << drag[i]
                                                      << " was taken; the host's delay is too short for this machine";
            ASSERT_EQ(hostReceivedPalettes(host).size(), receivedBefore)
                << "the apply ended before the movement to " << drag[i] << " was taken";
        }
        ASSERT_TRUE(waitUntilIdle(15000)) << "the apply did not end";
        EXPECT_EQ(hostReceivedPalettes(host).size(), receivedBefore + 1) << "palettes after the drag from " << drag[0];
        checkWindow("after the drag from " + std::to_string(drag[0]));
    }

    // A forced apply sends what the window shows now.
    ASSERT_TRUE(clickButton(run, run.controls.stateButtons[0]));
    applied.push_back(drags.back().back());
    checkWindow("after the final click");
    checkStoredSettings("after the final click");

    const std::vector<std::vector<uint8_t>> received = newPalettes();
    ASSERT_EQ(received.size(), applied.size()) << "palettes received";
    for (size_t i = 0; i < applied.size(); ++i)
        EXPECT_TRUE(received[i] == tableFor(applied[i]))
            << "palette " << i << " (CyanRed at " << applied[i]
            << "): " << describeTableDifference(tableFor(applied[i]), received[i]);
    std::vector<std::string> words;
    for (size_t i = 0; i < applied.size(); ++i) {
        words.push_back("SELECTCOLORLAYER");
        words.push_back("RECEIVEPALETTE");
    }
    EXPECT_EQ(newCommandWords(), words);
    EXPECT_TRUE(pluginBoxes().empty()) << "a message box was shown";
}

// A host that keeps the plugin waiting, and how soon the program must end
// when the exit command arrives during that wait.
struct ExitCase {
    const char* name;
    PluginBuild build;
    const char* hostOptions;
    DWORD promptMs;  // well below what waiting for the host would take
};

void PrintTo(const ExitCase& c, std::ostream* out) { *out << c.name; }

class PluginExitDuringWait : public PluginEndToEnd, public ::testing::WithParamInterface<ExitCase> {};

// The exit command arrives while a slider movement's apply waits for the
// host: the program ends at once with code 0, its conversation closed, and
// no palette reaches the host.
TEST_P(PluginExitDuringWait, EndsTheProgramPromptlyWithCodeZero) {
    const ExitCase& c = GetParam();
    // A host that delays every command delays the start-up too; its palette
    // is not needed here.
    startSession(c.hostOptions, c.build, 640, 300, false);
    ASSERT_FALSE(HasFatalFailure());
    const size_t heldBefore = heldCommands(host);
    ASSERT_TRUE(postTrackbarMove(run, run.controls.balanceTrackbars[0], 400));
    ASSERT_TRUE(waitUntil([&] { return heldCommands(host) > heldBefore; }, 10000)) << "the movement started no apply";

    const DWORD start = GetTickCount();
    ASSERT_TRUE(PostMessageA(run.window, WM_COMMAND, IDM_EXIT_PLUGIN, 0));
    DWORD exitCode = 0xDEADBEEF;
    ASSERT_TRUE(run.waitForExit(20000, exitCode)) << "the plugin did not end";
    const DWORD elapsed = GetTickCount() - start;
    EXPECT_EQ(exitCode, 0u);
    EXPECT_LT(elapsed, c.promptMs) << "the exit waited for the host";
    EXPECT_TRUE(waitUntil([&] { return !hostLogLinesStarting(host, "DISCONNECT").empty(); }, 5000))
        << "the conversation was not closed";
    EXPECT_TRUE(hostReceivedPalettes(host).empty()) << "a palette reached the host";
    // The interrupted send may report its failure; nothing else may appear.
    // The box closes with the program, so a text may be gone before it is
    // read.
    for (const SeenMessageBox& box : pluginBoxes()) {
        EXPECT_TRUE(box.caption.empty() || box.caption == kPluginCaption) << box.caption;
        EXPECT_TRUE(box.text.empty() || box.text == kSendFailedText) << box.text;
    }
    printf("exit took %lu ms, %zu message box(es)\n", elapsed, pluginBoxes().size());
}

INSTANTIATE_TEST_SUITE_P(
    EachHost, PluginExitDuringWait,
    ::testing::Values(
        // "RECEIVEPALETTE" is never completed: the plugin would wait its full
        // 10 seconds.
        ExitCase{"RealPluginHostNeverCompletes", PluginBuild::Real, "--never-complete=RECEIVEPALETTE", 8000},
        ExitCase{"ProbedPluginHostNeverCompletes", PluginBuild::Probed, "--never-complete=RECEIVEPALETTE", 8000},
        // Every command held 3 seconds: waiting would take 3 to 6 more.
        ExitCase{"RealPluginHostDelays3s", PluginBuild::Real, "--delay-ms=3000", 2500}),
    [](const ::testing::TestParamInfo<ExitCase>& info) { return std::string(info.param.name); });

}  // namespace
