// The plugin program under Wine against the stand-in host, driven from this
// process: every slider movement, button click and menu command, checked on
// the window, in the plugin's memory (probed build) and in what the host
// executed and received.
#include <windows.h>
#include <commctrl.h>

#include <functional>

#include "end_to_end_fixture.h"

namespace {

// The five sliders in the order the tables below name them.
enum Slider { CyanRedSlider, MagentaGreenSlider, YellowBlueSlider, LowsBelowSlider, HeightsAboveSlider };
const char* const kSliderNames[5] = {"CyanRed", "MagentaGreen", "YellowBlue", "lows-below", "heights-above"};

HWND sliderHandle(const PluginControls& controls, int slider) {
    if (slider <= YellowBlueSlider) return controls.balanceTrackbars[slider];
    return slider == LowsBelowSlider ? controls.lowsBelowTrackbar : controls.heightsAboveTrackbar;
}

// Stores a moved slider's value into the expected settings.
void storeMove(ExpectedSettings& settings, int slider, int position) {
    if (slider <= YellowBlueSlider) settings.shownBalance(slider) = balanceFromPosition(position);
    else if (slider == LowsBelowSlider) settings.current().lowsBelow = thresholdFromPosition(position);
    else settings.current().heightsAbove = thresholdFromPosition(position);
}

// One user action and what it must do: how the settings change, how many
// palette fetches and sends reach the host.
struct Step {
    std::string name;
    std::function<bool(PluginRun&)> act;  // false when the plugin did not answer
    std::function<void(ExpectedSettings&)> change;
    int fetches;
    int sends;
};

Step sliderMove(int slider, int position, int code = TB_THUMBTRACK) {
    return {std::string(kSliderNames[slider]) + " slider to " + std::to_string(position) + " (code " +
                std::to_string(code) + ")",
            [=](PluginRun& run) { return moveTrackbar(run, sliderHandle(run.controls, slider), position, code); },
            [=](ExpectedSettings& s) { storeMove(s, slider, position); }, 0, 1};
}

Step rangeButton(int range) {
    static const char* const names[4] = {"Lows", "Mediums", "Heights", "All"};
    return {std::string("range button ") + names[range],
            [=](PluginRun& run) { return clickButton(run, run.controls.rangeButtons[range]); },
            [=](ExpectedSettings& s) { s.currentRange = range; }, 0, 0};
}

Step stateButton(int state) {
    return {std::string("state button ") + (state ? "State B" : "State A"),
            [=](PluginRun& run) { return clickButton(run, run.controls.stateButtons[state]); },
            [=](ExpectedSettings& s) { s.currentState = state; }, 0, 1};
}

Step command(const char* name, int id, std::function<void(ExpectedSettings&)> change, int fetches, int sends) {
    return {std::string(name) + " (command " + std::to_string(id) + ")",
            [=](PluginRun& run) { return runCommand(run, id); }, change, fetches, sends};
}

void leaveAlone(ExpectedSettings&) {}
void flipPreservation(ExpectedSettings& s) { s.preserveBrightness = !s.preserveBrightness; }

class PluginCommands : public PluginEndToEnd {
protected:
    void runSteps(const std::vector<Step>& steps) {
        for (const Step& step : steps) {
            SCOPED_TRACE(step.name);
            ASSERT_TRUE(step.act(run)) << step.name << ": the plugin did not answer";
            step.change(expected);
            checkEverything(step.name, step.fetches, step.sends);
            if (HasFatalFailure()) return;
        }
    }
};

// Every row of the command table and every kind of control, in one session
// that builds up distinct values in both states and all four ranges first,
// so that each command's effect on what it must leave alone shows too.
TEST_F(PluginCommands, EveryCommandButtonAndSliderChangesWindowMemoryAndHostAsItShould) {
    startSession("", PluginBuild::Probed);
    ASSERT_FALSE(HasFatalFailure());
    checkEverything("after start-up", 0, 0);

    std::vector<Step> steps = {
        // State A, range All: every slider, and every trackbar code once.
        sliderMove(CyanRedSlider, 300, TB_THUMBTRACK),
        sliderMove(MagentaGreenSlider, 200, TB_LINEUP),
        sliderMove(YellowBlueSlider, 400, TB_THUMBPOSITION),
        sliderMove(LowsBelowSlider, 60, TB_ENDTRACK),
        sliderMove(HeightsAboveSlider, 190, TB_PAGEUP),
        // The range buttons show another range's values and send nothing.
        rangeButton(Mediums),
        sliderMove(CyanRedSlider, 100, TB_LINEDOWN),
        rangeButton(Lows),
        sliderMove(YellowBlueSlider, 450, TB_PAGEDOWN),
        rangeButton(Heights),
        sliderMove(MagentaGreenSlider, 350, TB_TOP),
        rangeButton(All),
        rangeButton(All),
        // The switch flips its check mark and sends on every use.
        command("Attempt Brightness Preservation, off", IDM_BRIGHTNESS_PRESERVATION, flipPreservation, 0, 1),
        command("Attempt Brightness Preservation, on", IDM_BRIGHTNESS_PRESERVATION, flipPreservation, 0, 1),
        command("Attempt Brightness Preservation, off again", IDM_BRIGHTNESS_PRESERVATION, flipPreservation, 0, 1),
        // Copies and clears of the state that is not shown change nothing on
        // screen and send nothing.
        command("A --> B while A is current", IDM_COPY_A_TO_B, [](ExpectedSettings& s) { s.states[1] = s.states[0]; }, 0, 0),
        command("Clear > B while A is current", IDM_CLEAR_STATE_B, [](ExpectedSettings& s) { s.clear(1); }, 0, 0),
        command("A --> B again", IDM_COPY_A_TO_B, [](ExpectedSettings& s) { s.states[1] = s.states[0]; }, 0, 0),
        // A state button sends also when its state is current already.
        stateButton(0),
        stateButton(1),
        sliderMove(CyanRedSlider, 128, TB_BOTTOM),
        rangeButton(Mediums),
        sliderMove(MagentaGreenSlider, 500),
        command("A <-- B while B is current", IDM_COPY_B_TO_A, [](ExpectedSettings& s) { s.states[0] = s.states[1]; }, 0, 0),
        sliderMove(LowsBelowSlider, 70),
        stateButton(0),
        // A copy into the current state shows and sends it.
        command("A <-- B while A is current", IDM_COPY_B_TO_A, [](ExpectedSettings& s) { s.states[0] = s.states[1]; }, 0, 1),
        sliderMove(YellowBlueSlider, 20),
        // The resets act on the shown range (Mediums) and the current state.
        command("Reset > CyanRed", IDM_RESET_CYANRED, [](ExpectedSettings& s) { s.shownBalance(CyanRed) = 0.0f; }, 0, 1),
        command("Reset > MagentaGreen", IDM_RESET_MAGENTAGREEN, [](ExpectedSettings& s) { s.shownBalance(MagentaGreen) = 0.0f; }, 0, 1),
        command("Reset > YellowBlue", IDM_RESET_YELLOWBLUE, [](ExpectedSettings& s) { s.shownBalance(YellowBlue) = 0.0f; }, 0, 1),
        // "Lows" and "Heights" reset the thresholds, not the ranges' values.
        command("Reset > Lows", IDM_RESET_LOWS, [](ExpectedSettings& s) { s.current().lowsBelow = 0.2f; }, 0, 1),
        command("Reset > Heights", IDM_RESET_HEIGHTS, [](ExpectedSettings& s) { s.current().heightsAbove = 0.8f; }, 0, 1),
        sliderMove(LowsBelowSlider, 10),
        sliderMove(HeightsAboveSlider, 250),
        sliderMove(CyanRedSlider, 300),
        sliderMove(YellowBlueSlider, 0),
        // "All" resets the shown range and both thresholds, no other range.
        command("Reset > All", IDM_RESET_ALL,
                [](ExpectedSettings& s) {
                    for (int a = 0; a < 3; ++a) s.shownBalance(a) = 0.0f;
                    s.current().lowsBelow = 0.2f;
                    s.current().heightsAbove = 0.8f;
                },
                0, 1),
        command("Attempt Brightness Preservation, on again", IDM_BRIGHTNESS_PRESERVATION, flipPreservation, 0, 1),
        command("Clear > A while A is current", IDM_CLEAR_STATE_A, [](ExpectedSettings& s) { s.clear(0); }, 0, 1),
        stateButton(1),
        // A fetch takes the host's palette as it is now: the last one sent.
        command("Get New Palette(+keep state)", IDM_GET_PALETTE_KEEP_STATE, leaveAlone, 1, 1),
        sliderMove(HeightsAboveSlider, 230),
        // The reset shows at once; the fetch follows, then one apply with
        // the reset settings: one palette.
        command("Get New Palette(+reset)", IDM_GET_PALETTE_RESET,
                [](ExpectedSettings& s) {
                    s.currentState = 0;
                    s.currentRange = All;
                    s.clear(0);
                    s.clear(1);
                },
                1, 1),
        command("a command id of no menu item", 40000, leaveAlone, 0, 0),
    };
    runSteps(steps);
    EXPECT_TRUE(pluginBoxes().empty()) << "a message box was shown";
    exitAndCheck(IDM_EXIT_PLUGIN);
}

// A balance slider's extreme, middle and one-off-middle positions, and a
// threshold one step either side of its default, stored bit for bit and
// shown with two decimals.
TEST_F(PluginCommands, SliderPositionsStoreExactValuesAndShowTwoDecimals) {
    startSession("", PluginBuild::Probed);
    ASSERT_FALSE(HasFatalFailure());
    struct Case {
        int slider;
        int position;
        float stored;          // written out, not computed
        const char* infoLine;  // the whole info line afterwards
    } cases[] = {
        {CyanRedSlider, 0, -1.0f, "State A.All      (-1.00 +0.00 +0.00)\nlows-below: 0.20 heights-above: 0.80"},
        {CyanRedSlider, 255, -0.00390625f, "State A.All      (-0.00 +0.00 +0.00)\nlows-below: 0.20 heights-above: 0.80"},
        {CyanRedSlider, 256, 0.0f, "State A.All      (+0.00 +0.00 +0.00)\nlows-below: 0.20 heights-above: 0.80"},
        {CyanRedSlider, 512, 1.0f, "State A.All      (+1.00 +0.00 +0.00)\nlows-below: 0.20 heights-above: 0.80"},
        {MagentaGreenSlider, 255, -0.00390625f, "State A.All      (+1.00 -0.00 +0.00)\nlows-below: 0.20 heights-above: 0.80"},
        {YellowBlueSlider, 0, -1.0f, "State A.All      (+1.00 -0.00 -1.00)\nlows-below: 0.20 heights-above: 0.80"},
        {MagentaGreenSlider, 512, 1.0f, "State A.All      (+1.00 +1.00 -1.00)\nlows-below: 0.20 heights-above: 0.80"},
        {YellowBlueSlider, 257, 0.00390625f, "State A.All      (+1.00 +1.00 +0.00)\nlows-below: 0.20 heights-above: 0.80"},
        {LowsBelowSlider, 52, 0.203125f, "State A.All      (+1.00 +1.00 +0.00)\nlows-below: 0.20 heights-above: 0.80"},
        {LowsBelowSlider, 50, 0.1953125f, "State A.All      (+1.00 +1.00 +0.00)\nlows-below: 0.20 heights-above: 0.80"},
        {HeightsAboveSlider, 205, 0.80078125f, "State A.All      (+1.00 +1.00 +0.00)\nlows-below: 0.20 heights-above: 0.80"},
        {HeightsAboveSlider, 0, 0.0f, "State A.All      (+1.00 +1.00 +0.00)\nlows-below: 0.20 heights-above: 0.00"},
        {LowsBelowSlider, 256, 1.0f, "State A.All      (+1.00 +1.00 +0.00)\nlows-below: 1.00 heights-above: 0.00"},
    };
    for (const Case& c : cases) {
        const std::string name = std::string(kSliderNames[c.slider]) + " at " + std::to_string(c.position);
        SCOPED_TRACE(name);
        ASSERT_TRUE(moveTrackbar(run, sliderHandle(run.controls, c.slider), c.position)) << name;
        EXPECT_EQ(windowText(run.controls.infoLine), c.infoLine) << name;
        unsigned item = c.slider <= YellowBlueSlider ? probeBalanceItem(0, All, c.slider)
                        : c.slider == LowsBelowSlider ? probeThresholdItem(0, kProbeLowsBelowField)
                                                      : probeThresholdItem(0, kProbeHeightsAboveField);
        const uint32_t bits = uint32_t(probe(item));
        EXPECT_EQ(bits, floatBits(c.stored)) << name << ": stored " << floatFromBits(bits) << ", expected " << c.stored;
        storeMove(expected, c.slider, c.position);
        checkEverything(name, 0, 1);
    }

    // State B, range Mediums, with values -1, +1, -1/256 and thresholds 1
    // and 0.
    ASSERT_TRUE(clickButton(run, run.controls.stateButtons[1]));
    ASSERT_TRUE(clickButton(run, run.controls.rangeButtons[Mediums]));
    const struct {
        int slider, position;
    } moves[] = {{CyanRedSlider, 0}, {MagentaGreenSlider, 512}, {YellowBlueSlider, 255},
                 {LowsBelowSlider, 256}, {HeightsAboveSlider, 0}};
    for (const auto& move : moves) ASSERT_TRUE(moveTrackbar(run, sliderHandle(run.controls, move.slider), move.position));
    EXPECT_EQ(windowText(run.controls.infoLine),
              "State B.Mediums  (-1.00 +1.00 -0.00)\nlows-below: 1.00 heights-above: 0.00");
    EXPECT_TRUE(pluginBoxes().empty()) << "a message box was shown";
}

// The trackbar itself, stepped by the arrow keys, reports a line movement and
// then the end of the movement; each is a movement of its own, and the end,
// at the same position, sends nothing: the host has that palette already.
TEST_F(PluginCommands, ThresholdStepsByTheArrowKeysStoreOneStepFromTheDefault) {
    startSession("", PluginBuild::Probed);
    ASSERT_FALSE(HasFatalFailure());
    struct Case {
        const char* name;
        int slider;
        UINT key;
        int position;  // where the slider stands afterwards
    } cases[] = {
        {"lows-below, right arrow", LowsBelowSlider, VK_RIGHT, 52},
        // Back at 51 it holds 51/256, no longer the default 0.2.
        {"lows-below, left arrow", LowsBelowSlider, VK_LEFT, 51},
        {"lows-below, left arrow again", LowsBelowSlider, VK_LEFT, 50},
        {"heights-above, left arrow", HeightsAboveSlider, VK_LEFT, 203},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HWND trackbar = sliderHandle(run.controls, c.slider);
        ASSERT_TRUE(sendToPlugin(trackbar, WM_KEYDOWN, c.key, 1));
        storeMove(expected, c.slider, c.position);
        checkEverything(std::string(c.name) + ", key down", 0, 1);
        ASSERT_TRUE(sendToPlugin(trackbar, WM_KEYUP, c.key, 0xC0000001));
        checkEverything(std::string(c.name) + ", key up", 0, 0);
    }
}

// Notifications the handler must ignore or treat as movements of no slider.
TEST_F(PluginCommands, OtherCodesAndUnknownSendersChangeNoValue) {
    startSession("", PluginBuild::Probed);
    ASSERT_FALSE(HasFatalFailure());
    HWND cyanRed = run.controls.balanceTrackbars[0];

    // The position comes from the trackbar, not from the message.
    ASSERT_TRUE(sendToPlugin(cyanRed, TBM_SETPOS, TRUE, 300));
    ASSERT_TRUE(sendToPlugin(run.window, WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, 100), LPARAM(cyanRed)));
    storeMove(expected, CyanRedSlider, 300);
    checkEverything("position 300 reported as 100", 0, 1);

    // Codes past TB_ENDTRACK are no movement: nothing stored, nothing sent.
    for (int code : {9, 10, 0x7FFF}) {
        const std::string name = "code " + std::to_string(code);
        ASSERT_TRUE(sendToPlugin(cyanRed, TBM_SETPOS, TRUE, 400));
        ASSERT_TRUE(sendToPlugin(run.window, WM_HSCROLL, MAKEWPARAM(code, 400), LPARAM(cyanRed)));
        EXPECT_EQ(uint32_t(probe(probeBalanceItem(0, All, CyanRed))), floatBits(balanceFromPosition(300))) << name;
        EXPECT_EQ(windowText(run.controls.infoLine), expectedInfoLine(expected)) << name;
        checkStoredSettings(name);
        checkHost(name, 0, 0);
        // Back where the value says, for the checks that follow.
        ASSERT_TRUE(sendToPlugin(cyanRed, TBM_SETPOS, TRUE, 300));
    }

    // A movement from a window that is no slider changes no value, yet
    // refreshes the info line and attempts an apply, which finds the settings
    // of the last palette sent and sends nothing. It does not put the sliders
    // back where their values say either: CyanRed, set to 400 without a
    // notification, stays there.
    struct Sender {
        const char* name;
        HWND handle;
    } senders[] = {{"the info line", run.controls.infoLine}, {"no window", nullptr}};
    for (const Sender& sender : senders) {
        const std::string name = std::string("movement from ") + sender.name;
        ASSERT_TRUE(sendToPlugin(cyanRed, TBM_SETPOS, TRUE, 400));
        ASSERT_TRUE(sendToPlugin(run.window, WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, 0), LPARAM(sender.handle)));
        EXPECT_EQ(trackbarPosition(cyanRed), 400) << name << ": the sliders were set from the values";
        ASSERT_TRUE(sendToPlugin(cyanRed, TBM_SETPOS, TRUE, 300));
        checkEverything(name, 0, 0);
    }

    // A click is told by the sender's handle alone, whatever notification
    // code it carries; a command by the low word alone, as an accelerator's
    // (high word 1) is.
    ASSERT_TRUE(sendToPlugin(run.window, WM_COMMAND, MAKEWPARAM(0, BN_DOUBLECLICKED),
                             LPARAM(run.controls.rangeButtons[Heights])));
    expected.currentRange = Heights;
    checkEverything("range button Heights with BN_DOUBLECLICKED", 0, 0);
    ASSERT_TRUE(sendToPlugin(run.window, WM_COMMAND, MAKEWPARAM(0, BN_KILLFOCUS),
                             LPARAM(run.controls.stateButtons[1])));
    expected.currentState = 1;
    checkEverything("state button B with BN_KILLFOCUS", 0, 1);
    ASSERT_TRUE(sendToPlugin(run.window, WM_COMMAND, MAKEWPARAM(IDM_BRIGHTNESS_PRESERVATION, 1), 0));
    expected.preserveBrightness = false;
    checkEverything("Attempt Brightness Preservation as an accelerator", 0, 1);

    // A click from a control that is no button changes nothing and sends
    // nothing.
    ASSERT_TRUE(clickButton(run, run.controls.swatches[0]));
    checkEverything("click from a swatch", 0, 0);
    ASSERT_TRUE(clickButton(run, cyanRed));
    checkEverything("click from a trackbar", 0, 0);
    EXPECT_TRUE(pluginBoxes().empty()) << "a message box was shown";
}

// The About box is modal over the main window and sends nothing.
TEST_F(PluginCommands, AboutOpensAModalBoxOwnedByTheWindowAndSendsNothing) {
    startSession("", PluginBuild::Probed);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(moveTrackbar(run, run.controls.balanceTrackbars[1], 380));
    storeMove(expected, MagentaGreenSlider, 380);
    checkEverything("before the About box", 0, 1);

    ASSERT_TRUE(PostMessageA(run.window, WM_COMMAND, IDM_ABOUT, 0));
    HWND about = nullptr;
    ASSERT_TRUE(waitUntil([&] { return (about = findTopLevelWindowStarting(ABOUT_BOX_TITLE, run.process.dwProcessId, 0)); },
                          5000))
        << "no About box";
    EXPECT_EQ(GetWindow(about, GW_OWNER), run.window);
    EXPECT_FALSE(IsWindowEnabled(run.window)) << "the main window stays enabled under the About box";
    PostMessageA(about, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(waitUntil([&] { return !IsWindow(about) || !IsWindowVisible(about); }, 5000))
        << "the About box stayed open";
    EXPECT_TRUE(waitUntil([&] { return IsWindowEnabled(run.window) != 0; }, 5000));
    ASSERT_TRUE(sendToPlugin(run.window, WM_NULL, 0, 0));
    checkEverything("after the About box", 0, 0);
    EXPECT_TRUE(pluginBoxes().empty()) << "a message box was shown";
}

// Work owed while a dialog or box of the plugin's own is open waits until it
// has closed, so that the dialog's own keys work meanwhile: a movement sent
// to the window then is shown and stored at once, and its palette reaches the
// host once the dialog has gone.
TEST_F(PluginCommands, OwedWorkWaitsUntilThePluginsOwnDialogCloses) {
    startSession("", PluginBuild::Probed);
    ASSERT_FALSE(HasFatalFailure());
    const DWORD processId = run.process.dwProcessId;
    const struct Case {
        const char* name;
        int command;
        std::function<HWND()> find;
        std::function<bool(HWND)> close;
    } cases[] = {
        {"the Load Settings dialog", IDM_LOAD_SETTINGS, [&] { return waitForFileDialog(run, LOAD_SETTINGS_DIALOG_TITLE); },
         [](HWND dialog) { return cancelFileDialog(dialog); }},
        {"the About box", IDM_ABOUT, [&] { return findTopLevelWindowStarting(ABOUT_BOX_TITLE, processId, 5000); },
         [](HWND about) {
             PostMessageA(about, WM_COMMAND, IDOK, 0);
             return waitUntil([&] { return !IsWindow(about) || !IsWindowVisible(about); }, 5000);
         }},
    };
    int position = 300;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(PostMessageA(run.window, WM_COMMAND, WPARAM(c.command), 0));
        HWND dialog = c.find();
        ASSERT_NE(dialog, nullptr) << c.name << " did not open";
        // Sent: the main window is disabled under the dialog.
        position += 20;
        HWND cyanRed = run.controls.balanceTrackbars[0];
        ASSERT_TRUE(sendToPlugin(cyanRed, TBM_SETPOS, TRUE, position));
        ASSERT_TRUE(sendToPlugin(run.window, WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, position), LPARAM(cyanRed)));
        storeMove(expected, CyanRedSlider, position);
        EXPECT_EQ(windowText(run.controls.infoLine), expectedInfoLine(expected)) << "the movement did not show";
        EXPECT_FALSE(waitForSliderApplies(run, 0)) << "no work owed while " << c.name << " is open";
        pumpMessagesFor(200);
        EXPECT_TRUE(newCommandWords().empty()) << "the host was asked while " << c.name << " was open";
        ASSERT_TRUE(c.close(dialog)) << c.name << " did not close";
        checkEverything(std::string("after ") + c.name, 0, 1);
    }
    EXPECT_TRUE(pluginBoxes().empty()) << "a message box was shown";
}

// Under a Wine release outside the table of checked ones (pretended by the
// probed build), the plugin still passes its start-up check, applies, fetches
// and ends: only the frees of what Wine's DDE leaves behind are off.
TEST_F(PluginCommands, UnderAnUncheckedWineReleaseThePluginStartsAppliesAndFetches) {
    if (!runningUnderWine()) GTEST_SKIP() << "the release is Wine's";
    SetEnvironmentVariableA(kProbeWineReleaseVariable, "99.0");
    startSession("", PluginBuild::Probed);
    SetEnvironmentVariableA(kProbeWineReleaseVariable, nullptr);
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(kProbeQueueStepBit, probe(kProbeWineDdeSteps)) << "the queue step on, the frees off";
    runSteps({
        sliderMove(CyanRedSlider, 300),
        sliderMove(YellowBlueSlider, 100, TB_ENDTRACK),
        stateButton(1),
        command("Get New Palette(+keep state)", IDM_GET_PALETTE_KEEP_STATE, leaveAlone, 1, 1),
        sliderMove(MagentaGreenSlider, 450),
    });
    EXPECT_TRUE(pluginBoxes().empty()) << "a message box was shown";
    exitAndCheck(IDM_EXIT_PLUGIN);
}

// Each of the three exit command ids ends the program with code 0 and closes
// the conversation without sending anything.
TEST_F(PluginCommands, ExitCommandsEndTheProgramWithCodeZero) {
    for (int commandId : {IDM_EXIT_PLUGIN, IDOK, IDCANCEL}) {
        SCOPED_TRACE("command " + std::to_string(commandId));
        startSession("", PluginBuild::Real);
        ASSERT_FALSE(HasFatalFailure());
        exitAndCheck(commandId);
        EXPECT_TRUE(pluginBoxes().empty()) << "a message box was shown";
        TearDown();
    }
}

}  // namespace
