// The plugin program moved by real mouse input on the display: drags of a
// balance slider's thumb and clicks on its channel, which must reach the host
// as palettes of the slider's new value, end with the palette of the position
// where the slider came to rest, and leave the mouse free for the next click.
#include <windows.h>
#include <commctrl.h>

#include "end_to_end_fixture.h"

namespace {

class PluginRealMouse : public PluginEndToEnd, public ::testing::WithParamInterface<PluginBuild> {
protected:
    // Presses the left button at (x, y), moves to each of `path` and
    // releases it there. The trackbar takes the capture when the button goes
    // down and gives it up when it comes up, so waiting for both keeps the
    // test in step with the plugin's input.
    void pressMoveRelease(int x, int y, const std::vector<POINT>& path) {
        HWND cyanRed = run.controls.balanceTrackbars[0];
        sendMouse(x, y, 0);
        POINT pointer;
        GetCursorPos(&pointer);
        ASSERT_EQ(pointer.x, x) << "the pointer did not go where it was sent";
        ASSERT_EQ(pointer.y, y);
        sendMouse(x, y, MOUSEEVENTF_LEFTDOWN);
        ASSERT_TRUE(waitUntil([&] { return captureOf(run) == cyanRed; }, 5000)) << "the slider took no capture";
        POINT last = {x, y};
        for (POINT point : path) {
            sendMouse(point.x, point.y, 0);
            last = point;
        }
        sendMouse(last.x, last.y, MOUSEEVENTF_LEFTUP);
        ASSERT_TRUE(waitUntil([&] { return captureOf(run) != cyanRed; }, 5000)) << "the slider kept the capture";
    }

    // Waits until the movement has been handled: the window shows the
    // CyanRed slider's present position, and the host has been quiet for a
    // while with its last command's status answered. Returns the position.
    int waitForCyanRedHandled(const std::string& context) {
        HWND cyanRed = run.controls.balanceTrackbars[0];
        int position = -1;
        size_t logLines = 0;
        DWORD unchangedSince = GetTickCount();
        auto settled = [&] {
            const std::vector<std::string> log = readHostLog(host);
            if (log.size() != logLines) {
                logLines = log.size();
                unchangedSince = GetTickCount();
                return false;
            }
            if (GetTickCount() - unchangedSince < 300 || log.empty() || log.back().compare(0, 8, "REQUEST ") != 0)
                return false;
            position = trackbarPosition(cyanRed);
            expected.shownBalance(CyanRed) = balanceFromPosition(position);
            return windowText(run.controls.infoLine) == expectedInfoLine(expected);
        };
        EXPECT_TRUE(waitUntil(settled, 10000)) << context << ": CyanRed at " << position << ", info line "
                                               << windowText(run.controls.infoLine);
        return position;
    }

    // A movement that repeats the settings of the palette the host holds
    // sends nothing (the press on the thumb, the release where the last move
    // left it): no palette received equals the one before it.
    void expectNoRepeatedPalette(const std::string& context, const std::vector<std::vector<uint8_t>>& received) {
        const std::vector<uint8_t>* previous = &hostTable;
        for (size_t i = 0; i < received.size(); ++i) {
            EXPECT_FALSE(received[i] == *previous) << context << ": palette " << i << " repeats the one before it";
            previous = &received[i];
        }
    }

    // Checks that each palette received since the last check is that of a
    // position between `from` and `to` that the slider passed, in order.
    void checkPalettesOnTheWay(const std::string& context, int from, int to) {
        const std::vector<std::vector<uint8_t>> received = newPalettes();
        EXPECT_FALSE(received.empty()) << context << ": no palette reached the host";
        expectNoRepeatedPalette(context, received);
        int passed = from;
        for (size_t i = 0; i < received.size(); ++i) {
            SliderState state = {0.2f, 0.8f, {}};
            auto matches = [&](int position) {
                state.balance[All][CyanRed] = balanceFromPosition(position);
                return received[i] == expectedTable(pluginSource, state, true);
            };
            while (passed <= to && !matches(passed)) ++passed;
            EXPECT_LE(passed, to) << context << ": palette " << i << " is that of no position from " << from
                                  << " to " << to << " after the previous one's";
        }
        const std::vector<std::string> words = newCommandWords();
        ASSERT_EQ(words.size(), 2 * received.size()) << context;
        for (size_t i = 0; i < words.size(); ++i)
            EXPECT_EQ(words[i], i % 2 ? "RECEIVEPALETTE" : "SELECTCOLORLAYER") << context << ": command " << i;
        if (!received.empty()) hostTable = received.back();
    }

    // Waits until the plugin has taken the mouse's input and sent what it
    // asked for: no window holds the capture, the info line shows the CyanRed
    // slider's position, no apply runs or is owed, and the host's last
    // palette is that of the position. Returns the position.
    int waitUntilHostHasCyanRed(const std::string& context) {
        HWND cyanRed = run.controls.balanceTrackbars[0];
        int position = -1;
        auto settled = [&] {
            if (captureOf(run) || !waitUntilAppliesDone(0)) return false;
            position = trackbarPosition(cyanRed);
            expected.shownBalance(CyanRed) = balanceFromPosition(position);
            if (windowText(run.controls.infoLine) != expectedInfoLine(expected)) return false;
            const std::vector<std::vector<uint8_t>> received = hostReceivedPalettes(host);
            if (received.size() <= palettesChecked ||
                received.back() != expectedTable(pluginSource, expected.current(), expected.preserveBrightness))
                return false;
            // Without the probe: the request for the movements' apply
            // answers that none is to come (an apply with the same settings
            // may still run for the last movement).
            return run.probe || waitForSliderApplies(run, 0);
        };
        EXPECT_TRUE(waitUntil(settled, 20000))
            << context << ": CyanRed at " << position << ", capture held by " << captureOf(run) << ", info line "
            << windowText(run.controls.infoLine) << ", " << hostReceivedPalettes(host).size() - palettesChecked
            << " new palette(s) at the host, the last of another position";
        return position;
    }

    // The palettes and commands of the last action: whole sends only, and,
    // unless a click's forced apply was among them, no palette sent again.
    void takePalettes(const std::string& context, bool clickAmong = false) {
        const std::vector<std::vector<uint8_t>> palettes = newPalettes();
        const size_t received = palettes.size();
        if (!clickAmong) expectNoRepeatedPalette(context, palettes);
        const std::vector<std::string> words = newCommandWords();
        ASSERT_EQ(words.size(), 2 * received) << context;
        for (size_t i = 0; i < words.size(); ++i)
            EXPECT_EQ(words[i], i % 2 ? "RECEIVEPALETTE" : "SELECTCOLORLAYER") << context << ": command " << i;
        hostTable = expectedTable(pluginSource, expected.current(), expected.preserveBrightness);
    }

    POINT middleOf(HWND window) {
        RECT rect;
        GetWindowRect(window, &rect);
        return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    }
};

// The host follows the slider: every palette is that of a position the
// slider passed, and a state button's click then sends what the slider shows.
TEST_P(PluginRealMouse, DraggingAndClickingABalanceSliderChangesTheHostsPalette) {
    startSession("", GetParam(), 640, 300);
    ASSERT_FALSE(HasFatalFailure());
    HWND cyanRed = run.controls.balanceTrackbars[0];
    ASSERT_EQ(trackbarPosition(cyanRed), 256);
    RECT rect;
    GetWindowRect(cyanRed, &rect);
    const int middleX = (rect.left + rect.right) / 2, middleY = (rect.top + rect.bottom) / 2;

    // At 256 the thumb stands in the middle of the slider: take it and drag
    // it to the right.
    std::vector<POINT> path;
    for (int step = 1; step <= 8; ++step) path.push_back({middleX + 5 * step, middleY});
    pressMoveRelease(middleX, middleY, path);
    ASSERT_FALSE(HasFatalFailure());
    const int dragged = waitForCyanRedHandled("after the drag");
    EXPECT_GT(dragged, 300) << "the drag did not move the thumb far enough";
    checkWindow("after the drag");
    checkStoredSettings("after the drag");
    checkPalettesOnTheWay("the drag", 256, dragged);

    // A click on the channel right of the thumb moves it right by pages
    // (of 10) while the button is held.
    pressMoveRelease(rect.right - 12, middleY, {});
    ASSERT_FALSE(HasFatalFailure());
    const int clicked = waitForCyanRedHandled("after the click");
    EXPECT_GT(clicked, dragged) << "the click did not move the thumb";
    checkWindow("after the click");
    checkStoredSettings("after the click");
    checkPalettesOnTheWay("the click", dragged, clicked);

    ASSERT_TRUE(clickButton(run, run.controls.stateButtons[0]));
    checkEverything("State A clicked after the mouse", 0, 1);
    EXPECT_TRUE(pluginBoxes().empty()) << "a message box was shown";
}

// Fast drags, some released within a few milliseconds of the last move: the
// movements that come while an apply waits for the host are sent by the
// apply after it, so the host always ends at the position where the slider
// came to rest.
TEST_P(PluginRealMouse, FastDragsEndWithTheFinalPositionAtTheHost) {
    startSession("", GetParam(), 640, 300);
    ASSERT_FALSE(HasFatalFailure());
    HWND cyanRed = run.controls.balanceTrackbars[0];
    const POINT middle = middleOf(cyanRed);
    const struct FastDrag {
        int moves;
        int stepPixels;       // negative: to the left
        DWORD gapMs;          // between moves
        DWORD releaseAfterMs; // after the last move
    } drags[] = {{12, 4, 1, 0}, {20, 2, 2, 1}, {5, 9, 8, 2},  {8, -5, 3, 0}, {15, -3, 1, 1},
                 {10, 6, 5, 0}, {6, 5, 1, 0},  {10, -4, 1, 0}, {16, 3, 2, 0}, {7, -7, 4, 1}};
    for (const FastDrag& drag : drags) {
        const std::string name = std::to_string(drag.moves) + " moves of " + std::to_string(drag.stepPixels) +
                                 " px " + std::to_string(drag.gapMs) + " ms apart, released after " +
                                 std::to_string(drag.releaseAfterMs) + " ms";
        SCOPED_TRACE(name);
        // "Reset CyanRed" puts the thumb back in the middle, where it is taken.
        ASSERT_TRUE(runCommand(run, IDM_RESET_CYANRED));
        expected.shownBalance(CyanRed) = 0;
        checkEverything(name + ": reset", 0, 1);

        sendMouse(middle.x, middle.y, 0);
        sendMouse(middle.x, middle.y, MOUSEEVENTF_LEFTDOWN);
        ASSERT_TRUE(waitUntil([&] { return captureOf(run) == cyanRed; }, 5000)) << "the slider took no capture";
        int x = middle.x;
        for (int i = 0; i < drag.moves; ++i) {
            Sleep(drag.gapMs);
            x += drag.stepPixels;
            sendMouse(x, middle.y, 0);
        }
        Sleep(drag.releaseAfterMs);
        sendMouse(x, middle.y, MOUSEEVENTF_LEFTUP);

        const int rest = waitUntilHostHasCyanRed(name);
        EXPECT_NE(rest, 256) << name << ": the drag did not move the thumb";
        checkWindow(name);
        checkStoredSettings(name);
        takePalettes(name);
    }
    EXPECT_TRUE(pluginBoxes().empty()) << "a message box was shown";
}

// A click beside the thumb with the button held 1-3 ms pages the slider, and
// its button-up comes while the page's apply waits for the host. The trackbar
// must still give up the capture, and the next click on a range button must
// reach that button.
TEST_P(PluginRealMouse, QuickClicksBesideTheThumbLeaveTheMouseFree) {
    startSession("", GetParam(), 640, 300);
    ASSERT_FALSE(HasFatalFailure());
    HWND cyanRed = run.controls.balanceTrackbars[0];
    RECT rect;
    GetWindowRect(cyanRed, &rect);
    const int y = (rect.top + rect.bottom) / 2;
    for (int i = 0; i < 8; ++i) {
        // Right and left of the thumb in turn, so that it stays near the
        // middle; Lows and All in turn, so that each range click shows.
        const bool right = i % 2 == 0;
        const DWORD heldMs = 1 + i % 3;
        const int range = right ? Lows : All;
        const std::string name = "click " + std::to_string(i + 1) + (right ? " right" : " left") +
                                 " of the thumb, held " + std::to_string(heldMs) + " ms";
        SCOPED_TRACE(name);
        const int before = trackbarPosition(cyanRed);
        const int x = right ? rect.right - 12 : rect.left + 12;
        sendMouse(x, y, 0);
        sendMouse(x, y, MOUSEEVENTF_LEFTDOWN);
        Sleep(heldMs);
        sendMouse(x, y, MOUSEEVENTF_LEFTUP);
        const int after = waitUntilHostHasCyanRed(name);
        EXPECT_EQ(captureOf(run), nullptr) << name << ": the trackbar kept the capture";
        EXPECT_TRUE(right ? after > before : after < before) << name << ": from " << before << " to " << after;
        checkWindow(name);
        checkStoredSettings(name);
        takePalettes(name);

        const POINT button = middleOf(run.controls.rangeButtons[range]);
        sendMouse(button.x, button.y, 0);
        sendMouse(button.x, button.y, MOUSEEVENTF_LEFTDOWN);
        sendMouse(button.x, button.y, MOUSEEVENTF_LEFTUP);
        expected.currentRange = range;
        EXPECT_TRUE(waitUntil([&] { return windowText(run.controls.infoLine) == expectedInfoLine(expected); }, 10000))
            << name << ": the click on a range button was lost; info line " << windowText(run.controls.infoLine);
        checkEverything(name + ", then a range button", 0, 0);
    }
    EXPECT_TRUE(pluginBoxes().empty()) << "a message box was shown";
}

// Against a host slow to answer, a click on "State A" right after a drag's
// release comes while the drag's apply still waits. Its apply waits its
// turn: the host never sees a command while another is held, no box opens,
// and the host ends with the palette of the slider's resting place.
TEST_P(PluginRealMouse, AClickRightAfterADragWaitsForTheDragsApply) {
    startSession("--delay-ms=20 --status-delay-ms=30", GetParam(), 640, 300);
    ASSERT_FALSE(HasFatalFailure());
    HWND cyanRed = run.controls.balanceTrackbars[0];
    const POINT stateA = middleOf(run.controls.stateButtons[0]);
    for (int i = 0; i < 8; ++i) {
        const std::string name = "drag " + std::to_string(i + 1);
        SCOPED_TRACE(name);
        // "Reset CyanRed" puts the thumb back in the middle, where it is taken.
        ASSERT_TRUE(runCommand(run, IDM_RESET_CYANRED));
        expected.shownBalance(CyanRed) = 0;
        checkEverything(name + ": reset", 0, 1);
        const POINT thumb = middleOf(cyanRed);
        const int step = i % 2 ? -4 : 5;
        std::vector<POINT> path;
        for (int move = 1; move <= 6; ++move) path.push_back({thumb.x + step * move, thumb.y});
        pressMoveRelease(thumb.x, thumb.y, path);
        ASSERT_FALSE(HasFatalFailure());
        Sleep(DWORD(i % 4) * 3);
        sendMouse(stateA.x, stateA.y, 0);
        sendMouse(stateA.x, stateA.y, MOUSEEVENTF_LEFTDOWN);
        sendMouse(stateA.x, stateA.y, MOUSEEVENTF_LEFTUP);
        waitUntilHostHasCyanRed(name);
        checkWindow(name);
        checkStoredSettings(name);
        takePalettes(name, true);
    }
    checkOneExchangeAtATime("after the drags");
    EXPECT_TRUE(pluginBoxes().empty()) << "a message box was shown";
}

INSTANTIATE_TEST_SUITE_P(EachBuild, PluginRealMouse, ::testing::Values(PluginBuild::Real, PluginBuild::Probed),
                         [](const ::testing::TestParamInfo<PluginBuild>& info) {
                             return std::string(pluginBuildName(info.param));
                         });

}  // namespace
