// The window's handlers driven in the test's own process: the info line,
// syncSliders, and slider movements, button clicks and menu commands through
// mainDialogProc. No host
// is involved: movements are made while an apply counts as running, so their
// apply stays owed; a command's forced apply fails to send for want of a
// palette and shows its message, which counts the applies. Movements ask for
// their apply with a message posted to the window.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "file_access.h"
#include "host_work.h"
#include "plugin_window.h"
#include "resource_ids.h"
#include "settings_commands.h"
#include "settings_file.h"
#include "slider_state.h"
#include "test_support.h"
#include "user_messages.h"

namespace {

std::string windowText(HWND window) {
    char text[256] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

int position(HWND trackbar) { return int(SendMessageA(trackbar, TBM_GETPOS, 0, 0)); }

// A plain top-level window to hold the controls, and the controls of the
// plugin window that the handlers look at, made with the plugin's own
// creation functions.
class WindowParts : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_BAR_CLASSES};
        InitCommonControlsEx(&classes);
    }

    void SetUp() override {
        initBalanceSettings();
        settingsHooks = {syncSliders, refreshInfoLine, nullptr};
        pluginWindow = {};
        pluginWindow.instance = GetModuleHandleA(nullptr);
        parent_ = CreateWindowExA(0, "STATIC", "parts", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr, nullptr,
                                  pluginWindow.instance, nullptr);
        ASSERT_NE(parent_, nullptr);
        // Where they stand does not matter to the handlers; the start-up test
        // checks the real window's layout.
        for (int axis = 0; axis < kBalanceAxisCount; ++axis)
            pluginWindow.balanceTrackbars[axis] = createTrackbar(parent_, 0, 0, 100, kBalanceTrackbarMax);
        pluginWindow.lowsBelowTrackbar = createTrackbar(parent_, 0, 0, 100, kThresholdTrackbarMax);
        pluginWindow.heightsAboveTrackbar = createTrackbar(parent_, 0, 0, 100, kThresholdTrackbarMax);
        pluginWindow.infoLine = CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 100, 32, parent_, nullptr,
                                                pluginWindow.instance, nullptr);
        for (int range = 0; range < kToneRangeCount; ++range)
            pluginWindow.rangeButtons[range] = CreateWindowExA(0, "BUTTON", "", WS_CHILD, 0, 0, 10, 10, parent_,
                                                               nullptr, pluginWindow.instance, nullptr);
        hostWork = HostWork{};
        hostWork.transformBusy = true;  // keeps the owed work owed: no apply runs
    }

    void TearDown() override {
        hostWork = HostWork{};
        settingsHooks = {nullptr, nullptr, nullptr};
        DestroyWindow(parent_);
        pluginWindow = {};
    }

    LRESULT scroll(int code, HWND trackbar) {
        return mainDialogProc(parent_, WM_HSCROLL, MAKEWPARAM(code, 0), reinterpret_cast<LPARAM>(trackbar));
    }

    // Takes the requests for owed work posted to the window; returns how many.
    int takeRequests() {
        MSG request;
        int requests = 0;
        while (PeekMessageA(&request, parent_, kRunOwedHostWorkMessage, kRunOwedHostWorkMessage, PM_REMOVE))
            ++requests;
        return requests;
    }

    HWND parent_ = nullptr;
};

TEST_F(WindowParts, InfoLineShowsTheFormattedSettings) {
    balanceSettings.currentState = 1;
    balanceSettings.currentRange = Mediums;
    balanceSettings.states[1].balance[Mediums][MagentaGreen] = -0.25f;
    refreshInfoLine();
    EXPECT_EQ(std::string(infoText), formatInfoLine(balanceSettings));
    EXPECT_EQ(windowText(pluginWindow.infoLine), formatInfoLine(balanceSettings));
}

TEST_F(WindowParts, InfoLineIsLeftAloneBeforeTheControlExists) {
    std::strcpy(infoText, "untouched");
    pluginWindow.infoLine = nullptr;
    refreshInfoLine();
    EXPECT_STREQ(infoText, "untouched");
}

TEST_F(WindowParts, SyncSlidersShowsTheCurrentStateAndRange) {
    struct Case {
        float balance[3];
        float lowsBelow, heightsAbove;
        int positions[5];  // CyanRed, MagentaGreen, YellowBlue, lows-below, heights-above
    } cases[] = {
        {{0, 0, 0}, 0.2f, 0.8f, {256, 256, 256, 51, 204}},
        {{-1, -1.0f / 256, 1}, 52.0f / 256, 50.0f / 256, {0, 255, 512, 52, 50}},
        {{0.5f, -0.5f, 0.3f}, 0, 1, {384, 128, 332, 0, 256}},
    };
    for (const Case& c : cases) {
        balanceSettings.currentState = 1;
        balanceSettings.currentRange = Mediums;
        SliderState& state = balanceSettings.states[1];
        for (int axis = 0; axis < 3; ++axis) state.balance[Mediums][axis] = c.balance[axis];
        state.lowsBelow = c.lowsBelow;
        state.heightsAbove = c.heightsAbove;
        syncSliders();
        HWND trackbars[5] = {pluginWindow.balanceTrackbars[0], pluginWindow.balanceTrackbars[1],
                             pluginWindow.balanceTrackbars[2], pluginWindow.lowsBelowTrackbar,
                             pluginWindow.heightsAboveTrackbar};
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(position(trackbars[i]), c.positions[i])
                << "trackbar " << i << " for balance " << c.balance[0] << " " << c.balance[1] << " "
                << c.balance[2] << " thresholds " << c.lowsBelow << " " << c.heightsAbove;
    }
    // Nothing of the other state or range was looked at.
    EXPECT_EQ(balanceSettings.states[0].lowsBelow, kDefaultLowsBelow);
}

TEST_F(WindowParts, BalanceSliderMovementStoresTheValueOfItsPosition) {
    struct Case {
        int position;
        float stored;
    } cases[] = {{0, -1.0f}, {255, -1.0f / 256}, {256, 0.0f}, {512, 1.0f}, {300, 44.0f / 256}};
    balanceSettings.currentState = 1;
    balanceSettings.currentRange = Heights;
    for (int axis = 0; axis < kBalanceAxisCount; ++axis)
        for (const Case& c : cases) {
            SCOPED_TRACE("axis " + std::to_string(axis) + " position " + std::to_string(c.position));
            HWND trackbar = pluginWindow.balanceTrackbars[axis];
            SendMessageA(trackbar, TBM_SETPOS, TRUE, c.position);
            EXPECT_EQ(scroll(TB_THUMBTRACK, trackbar), TRUE);
            EXPECT_EQ(balanceSettings.states[1].balance[Heights][axis], c.stored);
            EXPECT_EQ(std::string(infoText), formatInfoLine(balanceSettings));
            // A movement does not move the other sliders back.
            EXPECT_EQ(position(trackbar), c.position);
        }
    EXPECT_EQ(balanceSettings.states[0].balance[Heights][0], 0.0f) << "state A was changed";
    EXPECT_EQ(balanceSettings.states[1].balance[All][0], 0.0f) << "the range not shown was changed";
}

TEST_F(WindowParts, ThresholdSliderMovementStoresPositionOver256) {
    struct Case {
        bool lows;
        int position;
        float stored;
    } cases[] = {{true, 52, 52.0f / 256}, {true, 50, 50.0f / 256}, {true, 256, 1.0f}, {false, 205, 205.0f / 256},
                 {false, 0, 0.0f}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.lows ? "lows-below" : "heights-above") + " at " + std::to_string(c.position));
        HWND trackbar = c.lows ? pluginWindow.lowsBelowTrackbar : pluginWindow.heightsAboveTrackbar;
        SendMessageA(trackbar, TBM_SETPOS, TRUE, c.position);
        scroll(TB_ENDTRACK, trackbar);
        const SliderState& state = balanceSettings.states[0];
        EXPECT_EQ(c.lows ? state.lowsBelow : state.heightsAbove, c.stored);
        EXPECT_EQ(std::string(infoText), formatInfoLine(balanceSettings));
    }
}

TEST_F(WindowParts, AllNineTrackbarCodesAreMovementsAndOthersAreIgnored) {
    HWND trackbar = pluginWindow.balanceTrackbars[MagentaGreen];
    for (int code = 0; code <= 12; ++code) {
        SCOPED_TRACE("code " + std::to_string(code));
        currentSliderState().balance[All][MagentaGreen] = 0.0f;
        std::strcpy(infoText, "not refreshed");
        SendMessageA(trackbar, TBM_SETPOS, TRUE, 384);
        EXPECT_EQ(scroll(code, trackbar), TRUE);
        bool movement = code <= TB_ENDTRACK;
        EXPECT_EQ(currentSliderState().balance[All][MagentaGreen], movement ? 0.5f : 0.0f);
        EXPECT_EQ(std::strcmp(infoText, "not refreshed") != 0, movement);
    }
}

TEST_F(WindowParts, MovementFromAnUnknownHandleChangesNoValueButRefreshes) {
    SliderState before = currentSliderState();
    std::strcpy(infoText, "not refreshed");
    scroll(TB_THUMBTRACK, parent_);
    EXPECT_EQ(std::memcmp(&before, &currentSliderState(), sizeof before), 0);
    EXPECT_STRNE(infoText, "not refreshed");
}

TEST_F(WindowParts, RangeButtonChangesTheShownRangeAndItsSliders) {
    balanceSettings.states[0].balance[Lows][YellowBlue] = -0.5f;
    for (int range : {Lows, Heights, All}) {
        SCOPED_TRACE(rangeDisplayName(range));
        LRESULT answer = mainDialogProc(parent_, WM_COMMAND, MAKEWPARAM(0, BN_CLICKED),
                                        reinterpret_cast<LPARAM>(pluginWindow.rangeButtons[range]));
        EXPECT_EQ(answer, FALSE);
        EXPECT_EQ(balanceSettings.currentRange, range);
        EXPECT_EQ(position(pluginWindow.balanceTrackbars[YellowBlue]), range == Lows ? 128 : 256);
        EXPECT_EQ(std::string(infoText), formatInfoLine(balanceSettings));
    }
}

TEST_F(WindowParts, UnknownMessagesAreNotHandled) {
    EXPECT_EQ(mainDialogProc(parent_, WM_USER + 7, 0, 0), FALSE);
    EXPECT_EQ(mainDialogProc(parent_, WM_VSCROLL, 0, 0), FALSE);
    // A command id that no menu item has.
    EXPECT_EQ(mainDialogProc(parent_, WM_COMMAND, 4242, 0), FALSE);
}

// ---------------------------------------------------------------------------
// Menu commands. Each forced apply shows "Failed sending palette ..." here,
// since no palette was ever fetched; the watcher closes and counts those.

class WindowCommands : public WindowParts {
protected:
    void SetUp() override {
        WindowParts::SetUp();
        hostWork.transformBusy = false;
        settingsHooks.applyBalance = applyBalance;
        menu_ = CreateMenu();
        AppendMenuA(menu_, MF_STRING | MF_CHECKED, IDM_BRIGHTNESS_PRESERVATION, "Attempt Brightness Preservation");
        SetMenu(parent_, menu_);
        ASSERT_TRUE(startMessageBoxWatcher(false));
    }
    void TearDown() override {
        stopMessageBoxWatcher();
        WindowParts::TearDown();
    }

    // Runs a command and returns how many palettes it tried to send.
    size_t sendsOf(int commandId) {
        size_t before = messageBoxesSeen().size();
        EXPECT_EQ(mainDialogProc(parent_, WM_COMMAND, MAKEWPARAM(commandId, 0), 0), FALSE);
        std::vector<SeenMessageBox> boxes = messageBoxesSeen();
        for (size_t i = before; i < boxes.size(); ++i) EXPECT_EQ(boxes[i].text, kSendFailedText);
        return boxes.size() - before;
    }

    bool brightnessChecked() {
        return (GetMenuState(GetMenu(parent_), IDM_BRIGHTNESS_PRESERVATION, MF_BYCOMMAND) & MF_CHECKED) != 0;
    }

    HMENU menu_ = nullptr;
};

TEST_F(WindowCommands, BrightnessPreservationFlipsItsCheckMarkAndSendsEachTime) {
    for (bool expected : {false, true, false}) {
        EXPECT_EQ(sendsOf(IDM_BRIGHTNESS_PRESERVATION), 1u);
        EXPECT_EQ(balanceSettings.preserveBrightness, expected);
        EXPECT_EQ(brightnessChecked(), expected);
    }
}

// A state where every value differs from its default, so that a reset shows.
void fillState(SliderState& state, float base) {
    for (int range = 0; range < kToneRangeCount; ++range)
        for (int axis = 0; axis < kBalanceAxisCount; ++axis)
            state.balance[range][axis] = base + 0.01f * float(3 * range + axis);
    state.lowsBelow = 0.3f + base / 10;
    state.heightsAbove = 0.7f - base / 10;
}

TEST_F(WindowCommands, ResetsClearsAndCopiesChangeTheirValuesAndSendWhenTheShownStateChanged) {
    struct Case {
        const char* name;
        int commandId;
        size_t sends;
        // The state A and B that the command leaves, from A and B filled with
        // 0.5 and -0.25, range Mediums shown, state A current.
        void (*expect)(SliderState& a, SliderState& b);
    } cases[] = {
        {"Reset CyanRed", IDM_RESET_CYANRED, 1,
         [](SliderState& a, SliderState&) { a.balance[Mediums][CyanRed] = 0; }},
        {"Reset MagentaGreen", IDM_RESET_MAGENTAGREEN, 1,
         [](SliderState& a, SliderState&) { a.balance[Mediums][MagentaGreen] = 0; }},
        {"Reset YellowBlue", IDM_RESET_YELLOWBLUE, 1,
         [](SliderState& a, SliderState&) { a.balance[Mediums][YellowBlue] = 0; }},
        // The thresholds, not the balance of the Lows or Heights range.
        {"Reset Lows", IDM_RESET_LOWS, 1, [](SliderState& a, SliderState&) { a.lowsBelow = 0.2f; }},
        {"Reset Heights", IDM_RESET_HEIGHTS, 1, [](SliderState& a, SliderState&) { a.heightsAbove = 0.8f; }},
        {"Reset All", IDM_RESET_ALL, 1,
         [](SliderState& a, SliderState&) {
             for (float& value : a.balance[Mediums]) value = 0;
             a.lowsBelow = 0.2f;
             a.heightsAbove = 0.8f;
         }},
        {"Copy A --> B", IDM_COPY_A_TO_B, 0, [](SliderState& a, SliderState& b) { b = a; }},
        {"Copy A <-- B", IDM_COPY_B_TO_A, 1, [](SliderState& a, SliderState& b) { a = b; }},
        {"Clear A", IDM_CLEAR_STATE_A, 1, [](SliderState& a, SliderState&) { a = kDefaultSliderState; }},
        {"Clear B", IDM_CLEAR_STATE_B, 0, [](SliderState&, SliderState& b) { b = kDefaultSliderState; }},
        {"an id of no command", 4242, 0, [](SliderState&, SliderState&) {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        balanceSettings.currentState = 0;
        balanceSettings.currentRange = Mediums;
        fillState(balanceSettings.states[0], 0.5f);
        fillState(balanceSettings.states[1], -0.25f);
        syncSliders();
        SliderState expectedA = balanceSettings.states[0];
        SliderState expectedB = balanceSettings.states[1];
        c.expect(expectedA, expectedB);

        EXPECT_EQ(sendsOf(c.commandId), c.sends);
        EXPECT_EQ(std::memcmp(&balanceSettings.states[0], &expectedA, sizeof expectedA), 0) << "state A";
        EXPECT_EQ(std::memcmp(&balanceSettings.states[1], &expectedB, sizeof expectedB), 0) << "state B";
        // The sliders show what the state now holds.
        EXPECT_EQ(position(pluginWindow.lowsBelowTrackbar), thresholdToPosition(balanceSettings.states[0].lowsBelow));
        EXPECT_EQ(position(pluginWindow.balanceTrackbars[CyanRed]),
                  balanceToPosition(balanceSettings.states[0].balance[Mediums][CyanRed]));
    }
}

TEST_F(WindowCommands, StateButtonSwitchesShowsAndSendsEvenWhenAlreadyCurrent) {
    for (int state : {1, 1, 0}) {
        SCOPED_TRACE(stateDisplayName(state));
        HWND button = CreateWindowExA(0, "BUTTON", stateDisplayName(state), WS_CHILD, 0, 0, 10, 10, parent_, nullptr,
                                      nullptr, nullptr);
        pluginWindow.stateButtons[state] = button;
        balanceSettings.states[1].heightsAbove = 0.5f;
        size_t before = messageBoxesSeen().size();
        EXPECT_EQ(mainDialogProc(parent_, WM_COMMAND, MAKEWPARAM(0, BN_CLICKED), reinterpret_cast<LPARAM>(button)),
                  FALSE);
        EXPECT_EQ(messageBoxesSeen().size() - before, 1u);
        EXPECT_EQ(balanceSettings.currentState, state);
        EXPECT_EQ(position(pluginWindow.heightsAboveTrackbar), state == 1 ? 128 : 204);
        EXPECT_EQ(std::string(infoText), formatInfoLine(balanceSettings));
    }
}

// Movements apply after their notifications, together: three of them post
// one request and show nothing; its handler applies once (failing here, for
// want of a palette), and the failed send is not tried again.
TEST_F(WindowCommands, SliderMovementsShareOneApplyAfterTheirNotifications) {
    HWND cyanRed = pluginWindow.balanceTrackbars[CyanRed];
    const size_t before = messageBoxesSeen().size();
    for (int position : {300, 310, 320}) {
        SendMessageA(cyanRed, TBM_SETPOS, TRUE, position);
        EXPECT_EQ(scroll(TB_THUMBTRACK, cyanRed), TRUE);
    }
    EXPECT_EQ(messageBoxesSeen().size(), before) << "a movement applied inside its notification";
    EXPECT_EQ(takeRequests(), 1) << "requests posted for three movements";
    EXPECT_EQ(hostWork.applyOwed, MovementApplyOwed);
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(mainDialogProc(parent_, kRunOwedHostWorkMessage, 0, 0), TRUE);
        EXPECT_EQ(messageBoxesSeen().size(), before + 1) << "round " << round << ": one apply in all";
        EXPECT_EQ(hostWork.applyOwed, NoApplyOwed) << "round " << round;
        EXPECT_FALSE(hostWorkOutstanding()) << "round " << round;
    }
}

// The texts of the boxes shown since `before`, in order.
std::vector<std::string> boxTextsSince(size_t before) {
    const std::vector<SeenMessageBox> boxes = messageBoxesSeen();
    std::vector<std::string> texts;
    for (size_t i = before; i < boxes.size(); ++i) texts.push_back(boxes[i].text);
    return texts;
}

// Owed work waits while a modal loop of the plugin's own is open, nested or
// not, and is requested once the outermost closes.
TEST_F(WindowCommands, OwedWorkWaitsForTheOutermostModalLoop) {
    HWND stateB = CreateWindowExA(0, "BUTTON", "State B", WS_CHILD, 0, 0, 10, 10, parent_, nullptr, nullptr, nullptr);
    pluginWindow.stateButtons[1] = stateB;
    const size_t before = messageBoxesSeen().size();
    beginModalLoop();
    beginModalLoop();
    mainDialogProc(parent_, WM_COMMAND, MAKEWPARAM(0, BN_CLICKED), reinterpret_cast<LPARAM>(stateB));
    mainDialogProc(parent_, kRunOwedHostWorkMessage, 0, 0);
    EXPECT_EQ(balanceSettings.currentState, 1) << "the click was not shown at once";
    EXPECT_EQ(hostWork.applyOwed, CommandApplyOwed);
    endModalLoop(parent_);
    EXPECT_EQ(takeRequests(), 0) << "requested while a loop was still open";
    EXPECT_TRUE(boxTextsSince(before).empty()) << "work ran inside a modal loop";
    endModalLoop(parent_);
    EXPECT_EQ(takeRequests(), 1);
    mainDialogProc(parent_, kRunOwedHostWorkMessage, 0, 0);
    EXPECT_EQ(boxTextsSince(before), std::vector<std::string>{kSendFailedText});
    EXPECT_FALSE(hostWorkOutstanding());
}

// ---------------------------------------------------------------------------
// Saving settings, through the function that "&Save Settings..." calls with
// the name its dialog gave (the end-to-end tests drive the dialogs).

std::string fileText(const std::string& path) {
    std::string text;
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        char buffer[4096];
        for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, got);
        std::fclose(file);
    }
    return text;
}

// The whole record replaces an older file; a file that cannot be written
// shows one box naming it and the reason, and leaves nothing behind.
TEST_F(WindowCommands, SavedSettingsReplaceTheFileAndAFailureShowsOneBox) {
    const std::string path = ::testing::TempDir() + "window-parts.balance";
    const std::string unwritable = ::testing::TempDir() + "no-such-folder\\window-parts.balance";
    balanceSettings.currentState = 1;
    balanceSettings.states[1].balance[Heights][MagentaGreen] = -0.5f;
    EXPECT_TRUE(saveSettingsFile(path.c_str()));
    balanceSettings.states[0].lowsBelow = 0.25f;
    EXPECT_TRUE(saveSettingsFile(path.c_str()));
    EXPECT_EQ(fileText(path), formatSettingsText(balanceSettings, "\r\n"));
    EXPECT_TRUE(messageBoxesSeen().empty());

    EXPECT_FALSE(saveSettingsFile(unwritable.c_str()));
    const std::vector<SeenMessageBox> boxes = messageBoxesSeen();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, kPluginCaption);
    const std::string start = std::string(kSettingsNotSavedText) + "\n" + unwritable + "\n";
    EXPECT_EQ(boxes[0].text.rfind(start, 0), 0u) << boxes[0].text;
    EXPECT_GT(boxes[0].text.size(), start.size()) << "no reason";
    // No temporary file is left beside either.
    WIN32_FIND_DATAA found;
    const std::string temporaries = path + kTemporaryInfix + "*";
    HANDLE search = FindFirstFileA(temporaries.c_str(), &found);
    EXPECT_EQ(search, INVALID_HANDLE_VALUE) << found.cFileName;
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
    std::remove(path.c_str());
}

}  // namespace
