// The plugin program moved by real mouse input on the display: a drag of a
// balance slider's thumb and a click on its channel, both of which must reach
// the host as palettes of the slider's new value.
#include <windows.h>
#include <commctrl.h>

#include "end_to_end_fixture.h"

namespace {

// Mouse input at the screen point (x, y) in absolute coordinates, which run
// from 0 to 65535 across the screen.
void sendMouse(int x, int y, DWORD buttonFlags) {
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = LONG((x * 65536LL + width / 2) / width);
    input.mi.dy = LONG((y * 65536LL + height / 2) / height);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | buttonFlags;
    SendInput(1, &input, sizeof input);
}

// The window that holds the mouse capture in the plugin's GUI thread.
HWND captureOf(const PluginRun& run) {
    GUITHREADINFO thread = {};
    thread.cbSize = sizeof thread;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(run.window, nullptr), &thread)) return nullptr;
    return thread.hwndCapture;
}

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

    // Checks that each palette received since the last check is that of a
    // position between `from` and `to` that the slider passed, in order.
    void checkPalettesOnTheWay(const std::string& context, int from, int to) {
        const std::vector<std::vector<uint8_t>> received = newPalettes();
        EXPECT_FALSE(received.empty()) << context << ": no palette reached the host";
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
};

// Movements that arrive while an apply waits for the host are dropped, so
// the host may lag behind the slider until the next forced apply; a state
// button's click then sends what the slider shows.
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

INSTANTIATE_TEST_SUITE_P(EachBuild, PluginRealMouse, ::testing::Values(PluginBuild::Real, PluginBuild::Probed),
                         [](const ::testing::TestParamInfo<PluginBuild>& info) {
                             return std::string(pluginBuildName(info.param));
                         });

}  // namespace
