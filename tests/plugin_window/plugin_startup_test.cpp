// The real plugin program under Wine beside the stand-in host, driven from
// this test process: the start-up checks with their messages and exit codes,
// the window as it opens (title, topmost, place, layout, info line, sliders,
// swatches, focus), the About box through the accelerators, the close box,
// and a few commands.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "plugin_process.h"

namespace {

const std::string kInitialInfoLine = formatInfoLine(kDefaultBalanceSettings);

std::string describe(const RECT& rect) {
    return "(" + std::to_string(rect.left) + ", " + std::to_string(rect.top) + ") " +
           std::to_string(rect.right - rect.left) + " x " + std::to_string(rect.bottom - rect.top);
}

// Waits until the plugin ends, while the message-box watcher reads and closes
// every box it shows; tells whether its main window appeared meanwhile.
bool runUntilExit(PluginRun& run, DWORD timeoutMs, DWORD& exitCode) {
    bool appeared = false;
    auto ended = [&] {
        if (findTopLevelWindowStarting(PLUGIN_WINDOW_TITLE, run.process.dwProcessId, 0)) appeared = true;
        return waitForProcessExit(run.process.hProcess, 0, exitCode);
    };
    if (!waitUntil(ended, timeoutMs)) exitCode = 0xDEADBEEF;
    return appeared;
}

std::vector<std::string> executedWords(const StandInHost& host) {
    std::vector<std::string> words;
    for (const HostCommandRecord& command : hostExecutedCommands(host)) words.push_back(command.word);
    return words;
}

std::string join(const std::vector<std::string>& words) {
    std::string joined;
    for (const std::string& word : words) joined += (joined.empty() ? "" : " ") + word;
    return joined;
}

// The captions of the message boxes that a process showed.
std::string boxCaptions(DWORD processId) {
    std::string captions;
    for (const SeenMessageBox& box : messageBoxesSeenFrom(processId)) captions += "[" + box.caption + "]";
    return captions;
}

// What became of a run, for failure messages.
std::string describeRun(PluginRun& run) {
    std::string text;
    DWORD exitCode = 0;
    if (waitForProcessExit(run.process.hProcess, 0, exitCode))
        text = "the plugin ended with code " + std::to_string(int(exitCode));
    else
        text = "the plugin is still running";
    return text + "; boxes shown: " + boxCaptions(run.process.dwProcessId);
}

// ---------------------------------------------------------------------------
// Start-up checks

struct ExpectedBox {
    const char* caption;
    const char* text;
};

struct StartupFailure {
    const char* name;
    const char* hostOptions;  // null: no host at all
    std::vector<ExpectedBox> boxes;
    int exitCode;
    const char* commandsSeen;  // what the host executed
};

// Test names show the case, not its bytes.
void PrintTo(const StartupFailure& failure, std::ostream* out) { *out << failure.name; }

class PluginStartupFailure : public ::testing::TestWithParam<StartupFailure> {
protected:
    void SetUp() override { ASSERT_TRUE(startMessageBoxWatcher(true)); }
    void TearDown() override {
        stopMessageBoxWatcher();
        stopStandInHost(host_);
    }
    StandInHost host_;
};

TEST_P(PluginStartupFailure, ShowsItsMessagesAndEndsWithItsCodeWithoutAWindow) {
    const StartupFailure& failure = GetParam();
    if (failure.hostOptions) {
        ASSERT_TRUE(startStandInHost(host_, failure.hostOptions));
    }

    PluginRun run;
    ASSERT_TRUE(run.launch(PluginBuild::Real));
    DWORD exitCode = 0;
    bool windowSeen = runUntilExit(run, 30000, exitCode);
    const std::vector<SeenMessageBox> boxes = messageBoxesSeenFrom(run.process.dwProcessId);
    EXPECT_FALSE(windowSeen) << "the main window appeared";
    EXPECT_EQ(int(exitCode), failure.exitCode);

    ASSERT_EQ(boxes.size(), failure.boxes.size());
    for (size_t i = 0; i < boxes.size(); ++i) {
        EXPECT_EQ(boxes[i].caption, failure.boxes[i].caption) << "box " << i;
        EXPECT_EQ(boxes[i].text, failure.boxes[i].text) << "box " << i;
    }
    if (failure.hostOptions) {
        EXPECT_EQ(join(executedWords(host_)), failure.commandsSeen);
    }
}

INSTANTIATE_TEST_SUITE_P(
    EachCheck, PluginStartupFailure,
    ::testing::Values(
        StartupFailure{"NoHost", nullptr,
                       {{kPluginCaption, "The Kavrin Plugin Server is not running.\nStart Kavrin first."}},
                       -1, ""},
        // The host holds the command word and never completes it: too old.
        StartupFailure{"HostNeverCompletesSelectColorLayer", "--never-complete=SELECTCOLORLAYER",
                       {{kPluginCaption, "This Plugin requires at least\nKavrin 6.0 to function."}},
                       -2, ""},
        // The host's own reply comes first, then the plugin's message.
        StartupFailure{"HostStatusIsNotOk", "\"--status-text=No project is open\"",
                       {{"Communication Error - Kavrin said:", "No project is open"},
                        {kPluginCaption, "Failed to get palette.\nLoad a project inside Kavrin first."}},
                       -3, "SELECTCOLORLAYER"}),
    [](const ::testing::TestParamInfo<StartupFailure>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// With a good host

class PluginWindowWithHost : public ::testing::Test {
protected:
    // The watcher closes message boxes only: the main window and the About
    // box are dialogs too, but have no message-box icon control.
    void SetUp() override {
        ASSERT_TRUE(startMessageBoxWatcher(true));
        ASSERT_TRUE(startStandInHost(host_, ""));
    }
    void TearDown() override {
        stopMessageBoxWatcher();
        stopStandInHost(host_);
    }

    // Starts the plugin with the pointer at (x, y) and waits for its window.
    void startPlugin(PluginRun& run, int x = 640, int y = 300) {
        ASSERT_TRUE(run.launch(PluginBuild::Real, x, y));
        ASSERT_TRUE(run.waitForWindow()) << "the plugin window did not open; " << describeRun(run);
        controls_ = run.controls;
    }
    void startPlugin() { startPlugin(run_); }

    // "E&xit Plugin", then the program must end with code 0. No message box
    // may have been shown before.
    void exitPlugin(PluginRun& run) {
        EXPECT_EQ(boxCaptions(run.process.dwProcessId), "");
        PostMessageA(run.window, WM_COMMAND, IDM_EXIT_PLUGIN, 0);
        DWORD exitCode = 0xDEADBEEF;
        ASSERT_TRUE(run.waitForExit(10000, exitCode)) << "the plugin did not end";
        EXPECT_EQ(exitCode, 0u);
    }
    void exitPlugin() { exitPlugin(run_); }

    // Presses `keys` (virtual keys, released in reverse order) with the plugin
    // window in the foreground.
    void pressKeys(std::vector<WORD> keys) {
        SetForegroundWindow(run_.window);
        std::vector<INPUT> inputs;
        for (WORD key : keys) {
            INPUT input = {};
            input.type = INPUT_KEYBOARD;
            input.ki.wVk = key;
            inputs.push_back(input);
        }
        for (auto key = keys.rbegin(); key != keys.rend(); ++key) {
            INPUT input = {};
            input.type = INPUT_KEYBOARD;
            input.ki.wVk = *key;
            input.ki.dwFlags = KEYEVENTF_KEYUP;
            inputs.push_back(input);
        }
        SendInput(UINT(inputs.size()), inputs.data(), sizeof(INPUT));
    }

    void clickAt(HWND control) {
        RECT rect;
        GetWindowRect(control, &rect);
        SetCursorPos((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
        INPUT inputs[2] = {};
        inputs[0].type = inputs[1].type = INPUT_MOUSE;
        inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
        inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
        SendInput(2, inputs, sizeof(INPUT));
    }

    HWND waitForAboutBox() {
        HWND about = nullptr;
        waitUntil([&] { return (about = findTopLevelWindowStarting(ABOUT_BOX_TITLE, run_.process.dwProcessId, 0)); },
                  5000);
        return about;
    }

    StandInHost host_;
    PluginRun run_;
    PluginControls controls_;
};

// The About box's template items, in their order: the name, a line of
// description, the default OK button and the icon.
void expectAboutBoxItems(HWND about) {
    const DWORD child = WS_CHILD | WS_VISIBLE;
    const struct {
        const char* className;
        const char* text;  // null: any text but an empty one
        DWORD style;
        int id;
    } expected[] = {
        {"Static", "Kavrin Color Balance Plugin", child | WS_GROUP | SS_NOPREFIX, IDC_ABOUT_STATIC},
        {"Static", nullptr, child | WS_GROUP | SS_LEFT, IDC_ABOUT_STATIC},
        {"Button", "OK", child | WS_GROUP | WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK},
        {"Static", nullptr, child | SS_ICON, IDC_ABOUT_STATIC},  // text: the icon's ordinal
    };
    HWND item = GetWindow(about, GW_CHILD);
    for (const auto& want : expected) {
        SCOPED_TRACE(std::string("About box item of class ") + want.className + ", text " +
                     (want.text ? want.text : "(any)"));
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(className(item), want.className);
        if (want.text)
            EXPECT_EQ(windowText(item), want.text);
        else
            EXPECT_NE(windowText(item), "");
        EXPECT_EQ(DWORD(GetWindowLongA(item, GWL_STYLE)), want.style) << std::hex;
        EXPECT_EQ(short(GetDlgCtrlID(item)), want.id);
        if (std::string(want.className) == "Static" && (want.style & SS_TYPEMASK) == SS_ICON) {
            DWORD_PTR icon = 0;
            SendMessageTimeoutA(item, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 2000, &icon);
            EXPECT_NE(icon, 0u) << "no icon shown";
        }
        item = GetWindow(item, GW_HWNDNEXT);
    }
    EXPECT_EQ(item, nullptr) << "more than four items";
}

// The window's outer size: a window of its style with a menu bar around a
// 320 x 208 client area, 16 wider.
SIZE expectedWindowSize(HWND window) {
    RECT rect = {0, 0, 320, 208};
    AdjustWindowRect(&rect, DWORD(GetWindowLongA(window, GWL_STYLE)), TRUE);
    return {rect.right - rect.left + 16, rect.bottom - rect.top};
}

TEST_F(PluginWindowWithHost, OpensTopmostWithItsTitleCentredOnThePointer) {
    struct Case {
        int x, y;
    } cases[] = {{640, 300}, {0, 0}};  // the second opens partly off the screen
    for (const Case& c : cases) {
        SCOPED_TRACE("pointer at " + std::to_string(c.x) + ", " + std::to_string(c.y));
        PluginRun run;
        startPlugin(run, c.x, c.y);
        EXPECT_EQ(windowText(run.window), PLUGIN_WINDOW_TITLE);
        // The template's styles: a small-caption modal-frame dialog that
        // stays on top, has a taskbar button and carries the menu bar.
        const DWORD style = DWORD(GetWindowLongA(run.window, GWL_STYLE));
        const DWORD wantedStyle = DS_SETFONT | DS_MODALFRAME | DS_FIXEDSYS | DS_SYSMODAL | WS_CAPTION | WS_SYSMENU;
        EXPECT_EQ(style & wantedStyle, wantedStyle) << std::hex << style;
        const DWORD exStyle = DWORD(GetWindowLongA(run.window, GWL_EXSTYLE));
        const DWORD wantedExStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_APPWINDOW;
        EXPECT_EQ(exStyle & wantedExStyle, wantedExStyle) << std::hex << exStyle;
        EXPECT_NE(GetMenu(run.window), nullptr);
        SIZE size = expectedWindowSize(run.window);
        RECT rect;
        GetWindowRect(run.window, &rect);
        EXPECT_EQ(rect.right - rect.left, size.cx);
        EXPECT_EQ(rect.bottom - rect.top, size.cy);
        EXPECT_EQ(rect.left, c.x - size.cx / 2);
        EXPECT_EQ(rect.top, c.y - 8);
        exitPlugin(run);
    }
}

TEST_F(PluginWindowWithHost, HoldsEveryControlAtItsPlaceAndSize) {
    startPlugin();
    ASSERT_EQ(controls_.childCount, 18u) << "3 + 2 trackbars, 6 swatches, info line, 6 buttons";
    const int w = expectedWindowSize(run_.window).cx;
    const int half = w / 2;
    struct Expected {
        const char* name;
        HWND control;
        int x, y, width, height;
    };
    std::vector<Expected> layout;
    const char* axes[3] = {"CyanRed", "MagentaGreen", "YellowBlue"};
    for (int a = 0; a < 3; ++a) {
        layout.push_back({axes[a], controls_.balanceTrackbars[a], half - 133, 32 * a, 256, 32});
        layout.push_back({"left swatch", controls_.swatches[2 * a], 0, 32 * a + 4, 32, 28});
        layout.push_back({"right swatch", controls_.swatches[2 * a + 1], half + 133, 32 * a + 4, 32, 28});
    }
    layout.push_back({"info line", controls_.infoLine, 0, 96, w, 32});
    const char* ranges[4] = {"Lows", "Mediums", "Heights", "All"};
    for (int r = 0; r < 4; ++r) layout.push_back({ranges[r], controls_.rangeButtons[r], (r * w) / 4 + 2, 130, w / 4 - 10, 20});
    for (int s = 0; s < 2; ++s)
        layout.push_back({s ? "State B" : "State A", controls_.stateButtons[s], (s * w) / 2 + 2, 154, half - 10, 20});
    layout.push_back({"lows-below", controls_.lowsBelowTrackbar, 0, 176, half, 32});
    layout.push_back({"heights-above", controls_.heightsAboveTrackbar, half, 176, half, 32});

    for (const Expected& e : layout) {
        ASSERT_NE(e.control, nullptr) << e.name << " not found";
        RECT want = {e.x, e.y, e.x + e.width, e.y + e.height};
        RECT got = rectInParent(e.control, run_.window);
        EXPECT_TRUE(EqualRect(&got, &want)) << e.name << ": expected " << describe(want) << ", got " << describe(got);
        EXPECT_EQ(GetDlgCtrlID(e.control), 0) << e.name;
    }

    struct Styled {
        const char* name;
        HWND control;
        DWORD style;
        const char* text;
    } styles[] = {
        {"info line", controls_.infoLine, 0x54000001, kInitialInfoLine.c_str()},
        {"Lows", controls_.rangeButtons[0], 0x54010000, "Lows"},
        {"State B", controls_.stateButtons[1], 0x54010000, "State B"},
        {"CyanRed", controls_.balanceTrackbars[0], 0x50000048, "Trackbar Control"},
        {"heights-above", controls_.heightsAboveTrackbar, 0x50000048, "Trackbar Control"},
        {"swatch 5", controls_.swatches[5], 0x54000000, "-"},
    };
    for (const Styled& s : styles) {
        EXPECT_EQ(DWORD(GetWindowLongA(s.control, GWL_STYLE)), s.style) << s.name;
        EXPECT_EQ(windowText(s.control), s.text) << s.name;
    }
    exitPlugin();
}

TEST_F(PluginWindowWithHost, ShowsTheInitialStateAndSendsNoPalette) {
    startPlugin();
    EXPECT_EQ(windowText(controls_.infoLine), kInitialInfoLine);
    struct Case {
        const char* name;
        HWND trackbar;
        int position, maxPosition;
    } cases[] = {
        {"CyanRed", controls_.balanceTrackbars[0], 256, 512},
        {"MagentaGreen", controls_.balanceTrackbars[1], 256, 512},
        {"YellowBlue", controls_.balanceTrackbars[2], 256, 512},
        {"lows-below", controls_.lowsBelowTrackbar, 51, 256},
        {"heights-above", controls_.heightsAboveTrackbar, 204, 256},
    };
    auto ask = [](HWND trackbar, UINT message, WPARAM wParam = 0) {
        DWORD_PTR answer = 0;
        SendMessageTimeoutA(trackbar, message, wParam, 0, SMTO_ABORTIFHUNG, 2000, &answer);
        return int(answer);
    };
    for (const Case& c : cases) {
        EXPECT_EQ(trackbarPosition(c.trackbar), c.position) << c.name;
        EXPECT_EQ(ask(c.trackbar, TBM_GETRANGEMIN), 0) << c.name;
        EXPECT_EQ(ask(c.trackbar, TBM_GETRANGEMAX), c.maxPosition) << c.name;
        EXPECT_EQ(ask(c.trackbar, TBM_GETPAGESIZE), 10) << c.name;
        EXPECT_EQ(ask(c.trackbar, TBM_GETLINESIZE), 1) << c.name;
        // One tick of its own, in the middle, between the two ends.
        EXPECT_EQ(ask(c.trackbar, TBM_GETNUMTICS), 3) << c.name;
        EXPECT_EQ(ask(c.trackbar, TBM_GETTIC), c.maxPosition / 2) << c.name;
    }
    // Every trackbar took the focus as it was made; the last one keeps it.
    GUITHREADINFO thread = {};
    thread.cbSize = sizeof thread;
    ASSERT_TRUE(GetGUIThreadInfo(GetWindowThreadProcessId(run_.window, nullptr), &thread));
    EXPECT_EQ(thread.hwndFocus, controls_.heightsAboveTrackbar);

    // The start-up check, then the window's palette fetch; nothing is sent.
    EXPECT_EQ(join(executedWords(host_)), "SELECTCOLORLAYER SELECTCOLORLAYER SENDPALETTE");
    EXPECT_TRUE(hostReceivedPalettes(host_).empty());
    exitPlugin();
}

TEST_F(PluginWindowWithHost, SwatchesHaveTheirClassesAndColours) {
    startPlugin();
    const COLORREF colours[6] = {0x00FFFF00, 0x000000FF, 0x00FF00FF, 0x0000FF00, 0x0000FFFF, 0x00FF0000};
    HDC screen = GetDC(nullptr);
    for (int i = 0; i < 6; ++i) {
        ASSERT_NE(controls_.swatches[i], nullptr) << "no window of class CF" << i;
        EXPECT_EQ(GetClassLongA(controls_.swatches[i], GCL_STYLE), CS_VREDRAW | CS_HREDRAW | CS_NOCLOSE) << i;
        EXPECT_EQ(GetClassLongPtrA(controls_.swatches[i], GCLP_HCURSOR), 0) << i;
        RECT rect;
        GetWindowRect(controls_.swatches[i], &rect);
        // The swatch's background may still be waiting to be painted.
        COLORREF seen = CLR_INVALID;
        waitUntil(
            [&] {
                seen = GetPixel(screen, (rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
                return seen == colours[i];
            },
            1000);
        EXPECT_EQ(seen, colours[i]) << std::hex << "swatch CF" << i;
    }
    ReleaseDC(nullptr, screen);
    // Left swatches show the negative ends (cyan, magenta, yellow).
    for (int a = 0; a < 3; ++a) {
        RECT left = rectInParent(controls_.swatches[2 * a], run_.window);
        RECT right = rectInParent(controls_.swatches[2 * a + 1], run_.window);
        EXPECT_LT(left.left, right.left) << "row " << a;
    }
    exitPlugin();
}

TEST_F(PluginWindowWithHost, AltQuestionMarkAndAltSlashOpenTheAboutBox) {
    startPlugin();
    struct Case {
        const char* name;
        std::vector<WORD> keys;
        bool focusOnButton;
    } cases[] = {
        {"Alt+? with a trackbar focused", {VK_MENU, VK_SHIFT, VK_OEM_2}, false},
        {"Alt+/ with a trackbar focused", {VK_MENU, VK_OEM_2}, false},
        {"Alt+/ with a button focused", {VK_MENU, VK_OEM_2}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.focusOnButton) {
            // "All" is the range shown already: the click changes nothing.
            clickAt(controls_.rangeButtons[3]);
            GUITHREADINFO thread = {};
            thread.cbSize = sizeof thread;
            waitUntil(
                [&] {
                    GetGUIThreadInfo(GetWindowThreadProcessId(run_.window, nullptr), &thread);
                    return thread.hwndFocus == controls_.rangeButtons[3];
                },
                1000);
            ASSERT_EQ(thread.hwndFocus, controls_.rangeButtons[3]);
        }
        pressKeys(c.keys);
        HWND about = waitForAboutBox();
        ASSERT_NE(about, nullptr) << "no About box";
        EXPECT_EQ(GetWindow(about, GW_OWNER), run_.window);
        EXPECT_FALSE(IsWindowEnabled(run_.window)) << "the About box is modal";
        // Its template's place (0, 0) is taken from the main window's client
        // area: the dialog manager puts the box's client area there.
        POINT mainOrigin = {0, 0};
        ClientToScreen(run_.window, &mainOrigin);
        POINT aboutOrigin = {0, 0};
        ClientToScreen(about, &aboutOrigin);
        EXPECT_EQ(aboutOrigin.x, mainOrigin.x);
        EXPECT_EQ(aboutOrigin.y, mainOrigin.y);
        expectAboutBoxItems(about);
        PostMessageA(about, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(waitUntil([&] { return !IsWindowVisible(about); }, 2000)) << "the About box stayed open";
    }
    // No palette went out for any of this.
    EXPECT_TRUE(hostReceivedPalettes(host_).empty());
    exitPlugin();
}

TEST_F(PluginWindowWithHost, CloseBoxEndsTheProgramWithCodeZeroAndClosesTheConversation) {
    startPlugin();
    PostMessageA(run_.window, WM_SYSCOMMAND, SC_CLOSE, 0);
    DWORD exitCode = 0xDEADBEEF;
    ASSERT_TRUE(run_.waitForExit(10000, exitCode)) << "the plugin did not end";
    EXPECT_EQ(exitCode, 0u);
    EXPECT_TRUE(waitUntil([&] { return !hostLogLinesStarting(host_, "DISCONNECT").empty(); }, 5000));
}

// ---------------------------------------------------------------------------
// A few commands

TEST_F(PluginWindowWithHost, SliderMovementShowsTheValueAndSendsThePalette) {
    startPlugin();
    HWND trackbar = controls_.balanceTrackbars[0];
    SendMessageA(trackbar, TBM_SETPOS, TRUE, 512);
    SendMessageA(run_.window, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, 512), reinterpret_cast<LPARAM>(trackbar));
    EXPECT_EQ(windowText(controls_.infoLine), infoLineWithCyanRed(All, 512));
    // The movement's apply runs after its notification.
    ASSERT_TRUE(waitForSliderApplies(run_));
    EXPECT_EQ(hostReceivedPalettes(host_).size(), 1u);
    EXPECT_EQ(join(executedWords(host_)),
              "SELECTCOLORLAYER SELECTCOLORLAYER SENDPALETTE SELECTCOLORLAYER RECEIVEPALETTE");
    exitPlugin();
}

TEST_F(PluginWindowWithHost, ButtonsChangeWhatTheSlidersShowAndStateButtonsSend) {
    startPlugin();
    // Range "Lows": the sliders and the info line change, nothing is sent.
    SendMessageA(run_.window, WM_COMMAND, MAKEWPARAM(0, BN_CLICKED),
                 reinterpret_cast<LPARAM>(controls_.rangeButtons[0]));
    BalanceSettings shown = kDefaultBalanceSettings;
    shown.currentRange = Lows;
    EXPECT_EQ(windowText(controls_.infoLine), formatInfoLine(shown));
    EXPECT_TRUE(hostReceivedPalettes(host_).empty());
    // State B: shown and sent.
    SendMessageA(run_.window, WM_COMMAND, MAKEWPARAM(0, BN_CLICKED),
                 reinterpret_cast<LPARAM>(controls_.stateButtons[1]));
    shown.currentState = 1;
    EXPECT_EQ(windowText(controls_.infoLine), formatInfoLine(shown));
    EXPECT_EQ(hostReceivedPalettes(host_).size(), 1u);
    exitPlugin();
}

TEST_F(PluginWindowWithHost, ExitDuringAWaitForTheHostStillEndsPromptlyWithCodeZero) {
    stopStandInHost(host_);
    ASSERT_TRUE(startStandInHost(host_, "--delay-ms=1500"));
    startPlugin();
    // "&Get New Palette(+keep state)", then the exit while the host holds
    // the fetch's first command.
    const size_t holdsBefore = hostLogLinesStarting(host_, "HOLD ").size();
    PostMessageA(run_.window, WM_COMMAND, IDM_GET_PALETTE_KEEP_STATE, 0);
    waitUntil([&] { return hostLogLinesStarting(host_, "HOLD ").size() > holdsBefore; }, 5000);
    ASSERT_GT(hostLogLinesStarting(host_, "HOLD ").size(), holdsBefore) << "the fetch did not start";
    const DWORD start = GetTickCount();
    PostMessageA(run_.window, WM_COMMAND, IDM_EXIT_PLUGIN, 0);
    DWORD exitCode = 0xDEADBEEF;
    ASSERT_TRUE(run_.waitForExit(10000, exitCode)) << "the plugin did not end";
    EXPECT_EQ(exitCode, 0u);
    EXPECT_LT(GetTickCount() - start, 3000u) << "the exit waited for the host";
}

}  // namespace
