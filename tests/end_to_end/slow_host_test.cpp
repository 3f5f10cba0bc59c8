// The plugin program against a stand-in host that holds every command: drags
// and a burst of movements during the host's wait, clicks and commands that
// come during it and must wait their turn, and the exit command given during
// it.
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
        expected.shownBalance(CyanRed) = balanceFromPosition(position);
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
        state.balance[All][CyanRed] = balanceFromPosition(position);
        return expectedTable(pluginSource, state, true);
    }

};

// Each drag starts an apply with its first movement; the movements that
// come during that apply's wait are shown and stored at once and sent
// together by one apply after it, so the host ends at the drag's last
// position. The last drag is a burst posted all at once. A final forced apply
// sends the last state once more.
TEST_F(PluginSlowHost, MovementsDuringTheHostsWaitAreSentTogetherByTheApplyAfterIt) {
    // Every command held a second, so an apply takes about two.
    startSession("--delay-ms=1000", PluginBuild::Probed);
    ASSERT_FALSE(HasFatalFailure());
    const struct Drag {
        std::vector<int> positions;
        bool burst;  // the movements after the first posted at once, unchecked
    } drags[] = {{{270, 290, 310, 330}, false}, {{350, 370, 390}, false},
                 {{400, 410, 420, 430, 440, 450, 460, 470, 480, 490, 500, 510}, true}};
    for (const Drag& drag : drags) {
        const std::string name = "the drag from " + std::to_string(drag.positions.front());
        SCOPED_TRACE(name);
        const size_t heldBefore = heldCommands(host);
        const size_t receivedBefore = hostReceivedPalettes(host).size();
        dragTo(drag.positions.front());
        ASSERT_TRUE(waitUntil([&] { return heldCommands(host) > heldBefore; }, 5000))
            << "the movement to " << drag.positions.front() << " started no apply";
        EXPECT_EQ(probe(kProbeTransformBusy), 1);
        for (size_t i = 1; i < drag.positions.size(); ++i) {
            if (drag.burst) {
                ASSERT_TRUE(postTrackbarMove(run, run.controls.balanceTrackbars[0], drag.positions[i]));
                continue;
            }
            dragTo(drag.positions[i]);
            // Still busy with the same apply, which has not yet delivered its
            // palette: this movement came during its wait.
            ASSERT_EQ(probe(kProbeTransformBusy), 1) << "the apply ended before the movement to " << drag.positions[i]
                                                      << " was taken; the host's delay is too short for this machine";
            ASSERT_EQ(hostReceivedPalettes(host).size(), receivedBefore)
                << "the apply ended before the movement to " << drag.positions[i] << " was taken";
        }
        expected.shownBalance(CyanRed) = balanceFromPosition(drag.positions.back());
        ASSERT_TRUE(waitUntilAppliesDone(30000)) << "the applies did not end";
        checkWindow("after " + name);

        // The running apply's palette, then no more than two: the one running
        // when the last movement came and one after it.
        const std::vector<std::vector<uint8_t>> received = newPalettes();
        ASSERT_GE(received.size(), 2u) << name << ": palettes received";
        EXPECT_LE(received.size(), 3u) << name << ": palettes received";
        EXPECT_TRUE(received.front() == tableFor(drag.positions.front()))
            << name << ": the first palette is not that of " << drag.positions.front() << ": "
            << describeTableDifference(tableFor(drag.positions.front()), received.front());
        EXPECT_TRUE(received.back() == tableFor(drag.positions.back()))
            << name << ": the last palette is not that of " << drag.positions.back() << ": "
            << describeTableDifference(tableFor(drag.positions.back()), received.back());
        EXPECT_EQ(newCommandWords().size(), 2 * received.size()) << name << ": commands per palette";
    }

    // A forced apply sends what the window shows now.
    ASSERT_TRUE(clickButton(run, run.controls.stateButtons[0]));
    checkEverything("after the final click", 0, 1);
    EXPECT_TRUE(pluginBoxes().empty()) << "a message box was shown";
}

// Automation sends its messages: a slider movement, then a click a few
// milliseconds later, arrives while the movement's apply waits for a command
// or inside its synchronous status request. The click's apply waits its turn:
// the host never sees a command while another is held, no box opens, and the
// host ends with the palette of what the window shows.
TEST_F(PluginSlowHost, ClicksSentRightAfterMovementsWaitForTheirApply) {
    startSession("--delay-ms=20 --status-delay-ms=30", PluginBuild::Probed);
    ASSERT_FALSE(HasFatalFailure());
    for (int i = 0; i < 16; ++i) {
        const int position = 300 + 10 * i;
        const int state = i % 2;  // the movement goes to the state shown, the click switches
        const std::string name = "round " + std::to_string(i + 1);
        SCOPED_TRACE(name);
        expected.shownBalance(CyanRed) = balanceFromPosition(position);
        ASSERT_TRUE(sendToPlugin(run.controls.balanceTrackbars[0], TBM_SETPOS, TRUE, position));
        ASSERT_TRUE(sendToPlugin(run.window, WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, position),
                                 reinterpret_cast<LPARAM>(run.controls.balanceTrackbars[0])));
        Sleep(DWORD(i % 11));
        expected.currentState = 1 - state;
        ASSERT_TRUE(clickButton(run, run.controls.stateButtons[1 - state]));
        ASSERT_TRUE(waitUntilAppliesDone(30000)) << name << ": the applies did not end";
        checkWindow(name);
        checkStoredSettings(name);
        const std::vector<std::vector<uint8_t>> received = newPalettes();
        ASSERT_FALSE(received.empty()) << name;
        const std::vector<uint8_t> table = expectedTable(pluginSource, expected.current(), true);
        EXPECT_TRUE(received.back() == table) << name << ": " << describeTableDifference(table, received.back());
    }
    checkOneExchangeAtATime("after the clicks");
    EXPECT_TRUE(pluginBoxes().empty()) << "a message box was shown: " << pluginBoxes().front().text;
}

// "Get New Palette" chosen while a slider movement's apply waits, and a
// slider dragged while a fetch waits: the fetch runs once, after the running
// exchange, and the host ends with the palette of what the window shows.
// "+reset" resets at once, so a movement made after it, while its fetch is
// still owed, is kept and sent.
TEST_F(PluginSlowHost, FetchesAndMovementsDuringEachOthersWaitRunInTurn) {
    startSession("--delay-ms=300", PluginBuild::Probed);
    ASSERT_FALSE(HasFatalFailure());
    HWND cyanRed = run.controls.balanceTrackbars[0];
    const struct Case {
        const char* name;
        bool fetchFirst;  // the fetch starts and the movements come during its wait
        int command;
        int magentaGreenAfter;  // MagentaGreen moved there after the command; 0: not moved
    } cases[] = {
        {"+keep state during a movement's apply", false, IDM_GET_PALETTE_KEEP_STATE, 0},
        {"+reset during a movement's apply", false, IDM_GET_PALETTE_RESET, 0},
        {"+reset during a movement's apply, then MagentaGreen moved", false, IDM_GET_PALETTE_RESET, 400},
        {"movements during a fetch", true, IDM_GET_PALETTE_KEEP_STATE, 0},
    };
    int position = 300;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const size_t heldBefore = heldCommands(host);
        if (c.fetchFirst) {
            ASSERT_TRUE(PostMessageA(run.window, WM_COMMAND, WPARAM(c.command), 0));
        } else {
            ASSERT_TRUE(postTrackbarMove(run, cyanRed, position += 20));
        }
        ASSERT_TRUE(waitUntil([&] { return heldCommands(host) > heldBefore; }, 5000)) << "nothing started";
        if (c.fetchFirst) {
            for (int step = 0; step < 3; ++step) ASSERT_TRUE(postTrackbarMove(run, cyanRed, position += 10));
        } else {
            ASSERT_TRUE(PostMessageA(run.window, WM_COMMAND, WPARAM(c.command), 0));
            if (c.magentaGreenAfter) {
                ASSERT_TRUE(postTrackbarMove(run, run.controls.balanceTrackbars[1], c.magentaGreenAfter));
            }
        }
        expected.shownBalance(CyanRed) = balanceFromPosition(position);
        if (c.command == IDM_GET_PALETTE_RESET) expected = ExpectedSettings();
        if (c.magentaGreenAfter) expected.shownBalance(MagentaGreen) = balanceFromPosition(c.magentaGreenAfter);
        ASSERT_TRUE(waitUntilAppliesDone(30000)) << "the work did not end";
        checkWindow(c.name);
        checkStoredSettings(c.name);
        checkFetchedOnceAndFinalPalette(c.name);
    }
    checkOneExchangeAtATime("after the fetches");
    EXPECT_TRUE(pluginBoxes().empty()) << "a message box was shown";
}

// Waiting for the plugin to be idle right after posting it a command covers
// that command, although the plugin may not have taken it from its queue yet.
TEST_F(PluginSlowHost, WaitingForIdleRightAfterAPostedCommandWaitsForItsWork) {
    startSession("--delay-ms=300", PluginBuild::Probed);
    ASSERT_FALSE(HasFatalFailure());
    for (int command : {IDM_GET_PALETTE_KEEP_STATE, IDM_GET_PALETTE_RESET}) {
        ASSERT_TRUE(PostMessageA(run.window, WM_COMMAND, WPARAM(command), 0));
        if (command == IDM_GET_PALETTE_RESET) expected = ExpectedSettings();
        ASSERT_TRUE(waitUntilAppliesDone(30000)) << "the work did not end";
        checkStoredSettings("after the posted fetch");
        checkFetchedOnceAndFinalPalette("after the posted fetch");
    }
}

// Status requests, and commands held, that reached the host: with the hosts
// below every new command is held or, once completed, followed by a request.
size_t hostCommandLines(const StandInHost& host) {
    return heldCommands(host) + hostLogLinesStarting(host, "REQUEST ").size();
}

// A host that keeps the plugin waiting, what the plugin is doing then, and
// how soon the program must end when the exit command arrives during that
// wait.
struct ExitCase {
    const char* name;
    PluginBuild build;
    const char* hostOptions;
    int command;     // the command that starts the wait; 0: a slider movement's apply
    DWORD promptMs;  // well below what waiting for the host would take
};

void PrintTo(const ExitCase& c, std::ostream* out) { *out << c.name; }

class PluginExitDuringWait : public PluginEndToEnd, public ::testing::WithParamInterface<ExitCase> {};

// The exit command arrives while a slider movement's apply or a fetch waits
// for the host: the program ends at once with code 0, its conversation
// closed. Nothing more reaches the host and no box opens: the interrupted
// exchange fails silently, and nothing that was to follow it runs.
TEST_P(PluginExitDuringWait, EndsTheProgramPromptlyWithCodeZero) {
    const ExitCase& c = GetParam();
    // A host that delays every command delays the start-up too; its palette
    // is not needed here.
    startSession(c.hostOptions, c.build, 640, 300, false);
    ASSERT_FALSE(HasFatalFailure());
    const size_t heldBefore = heldCommands(host);
    const bool started = c.command ? PostMessageA(run.window, WM_COMMAND, WPARAM(c.command), 0) != 0
                                   : postTrackbarMove(run, run.controls.balanceTrackbars[0], 400);
    ASSERT_TRUE(started);
    ASSERT_TRUE(waitUntil([&] { return heldCommands(host) > heldBefore; }, 10000)) << "no exchange started";

    const DWORD start = GetTickCount();
    const size_t commandsAtExit = hostCommandLines(host);
    ASSERT_TRUE(PostMessageA(run.window, WM_COMMAND, IDM_EXIT_PLUGIN, 0));
    DWORD exitCode = 0xDEADBEEF;
    ASSERT_TRUE(run.waitForExit(20000, exitCode)) << "the plugin did not end";
    const DWORD elapsed = GetTickCount() - start;
    EXPECT_EQ(exitCode, 0u);
    EXPECT_LT(elapsed, c.promptMs) << "the exit waited for the host";
    EXPECT_TRUE(waitUntil([&] { return !hostLogLinesStarting(host, "DISCONNECT").empty(); }, 5000))
        << "the conversation was not closed";
    EXPECT_TRUE(hostReceivedPalettes(host).empty()) << "a palette reached the host";
    EXPECT_EQ(hostCommandLines(host), commandsAtExit) << "the host was asked for more after the exit";
    for (const SeenMessageBox& box : pluginBoxes()) ADD_FAILURE() << "a box opened: " << box.caption << ": " << box.text;
    printf("exit took %lu ms\n", elapsed);
}

INSTANTIATE_TEST_SUITE_P(
    EachHost, PluginExitDuringWait,
    ::testing::Values(
        // "RECEIVEPALETTE" is never completed: the plugin would wait its full
        // 10 seconds.
        ExitCase{"RealPluginHostNeverCompletes", PluginBuild::Real, "--never-complete=RECEIVEPALETTE", 0, 8000},
        ExitCase{"ProbedPluginHostNeverCompletes", PluginBuild::Probed, "--never-complete=RECEIVEPALETTE", 0, 8000},
        // Every command held 3 seconds: waiting would take 3 to 6 more.
        ExitCase{"RealPluginHostDelays3s", PluginBuild::Real, "--delay-ms=3000", 0, 2500},
        // The fetch of "+reset": its failure, and the apply after it, would
        // follow the exit.
        ExitCase{"RealPluginFetchHostDelays3s", PluginBuild::Real, "--delay-ms=3000", IDM_GET_PALETTE_RESET, 2500}),
    [](const ::testing::TestParamInfo<ExitCase>& info) { return std::string(info.param.name); });

}  // namespace
