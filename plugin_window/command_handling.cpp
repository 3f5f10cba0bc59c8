// The main window's dialog procedure: slider movements, button clicks and
// menu commands become changes of the balance settings followed, where the
// palette's result changes, by an apply that sends the palette to the host.
#include <windows.h>
#include <commctrl.h>

#include "host_conversation.h"
#include "host_work.h"
#include "palette_exchange.h"
#include "plugin_window.h"
#include "resource_ids.h"
#include "settings_commands.h"
#include "slider_state.h"

// The window's initialisation runs inside its creation call, before any
// control exists and while mainWindow is still null. Work owed during the
// fetch's wait runs from the message loop, once the window is complete.
static INT_PTR onInitDialog(HWND window) {
    sourcePalette = nullptr;
    workingPalette = nullptr;
    fetchPalette();  // a failure has shown its own message; the window opens anyway
    if (hostWorkOutstanding()) requestOwedHostWork(window);
    return TRUE;
}

// The position is read from the trackbar, never taken from the message.
static int trackbarPosition(HWND trackbar) {
    return static_cast<int>(SendMessageA(trackbar, TBM_GETPOS, 0, 0));
}

// Runs the work owed to the host, when nothing holds it: the apply that
// slider movements asked for, with the settings as they are now, and
// whatever clicks and commands owed meanwhile. The answer is 1 while work is
// still owed or running, so that a sender of this message can wait until
// the host has the palette of the window's settings.
static INT_PTR onRunOwedHostWork(HWND window) {
    hostWork.requestPosted = false;
    runOwedHostWork();
    SetWindowLongPtrA(window, DWLP_MSGRESULT, hostWorkOutstanding() ? 1 : 0);
    return TRUE;
}

// Stores the moved slider's value in the current state and shows it, then
// owes an apply, which runs once the trackbar has finished handling its
// input, or once whatever holds the host has ended; it sends nothing when the
// value is the one last sent. A handle that matches no trackbar changes no
// value.
static void onSliderMovement(HWND window, HWND trackbar) {
    SliderState& state = currentSliderState();
    if (trackbar) {
        for (int axis = 0; axis < kBalanceAxisCount; ++axis)
            if (trackbar == pluginWindow.balanceTrackbars[axis])
                state.balance[balanceSettings.currentRange][axis] = balanceFromPosition(trackbarPosition(trackbar));
        if (trackbar == pluginWindow.lowsBelowTrackbar)
            state.lowsBelow = thresholdFromPosition(trackbarPosition(trackbar));
        if (trackbar == pluginWindow.heightsAboveTrackbar)
            state.heightsAbove = thresholdFromPosition(trackbarPosition(trackbar));
    }
    // Owed before it shows, so that whoever sees the new value on the window
    // also finds its apply owed.
    oweMovementApply();
    requestOwedHostWork(window);
    refreshInfoLine();
}

// All nine trackbar codes, from TB_LINEUP to TB_ENDTRACK, are movements.
static INT_PTR onHorizontalScroll(HWND window, int code, HWND trackbar) {
    if (code >= TB_LINEUP && code <= TB_ENDTRACK) onSliderMovement(window, trackbar);
    return TRUE;
}

// A state button switches the state and sends its palette, also when it was
// current already; a range button only changes what the sliders show.
static INT_PTR onButtonClick(HWND button) {
    for (int state = 0; state < kSliderStateCount; ++state)
        if (button == pluginWindow.stateButtons[state]) {
            balanceSettings.currentState = state;
            refreshAfterChange();
        }
    for (int range = 0; range < kToneRangeCount; ++range)
        if (button == pluginWindow.rangeButtons[range]) {
            balanceSettings.currentRange = range;
            syncSliders();
            refreshInfoLine();
        }
    return FALSE;
}

void showBrightnessCheckMark(HWND window) {
    CheckMenuItem(GetMenu(window), IDM_BRIGHTNESS_PRESERVATION,
                  MF_BYCOMMAND | (balanceSettings.preserveBrightness ? MF_CHECKED : MF_UNCHECKED));
}

static void toggleBrightnessPreservation(HWND window) {
    balanceSettings.preserveBrightness = !balanceSettings.preserveBrightness;
    showBrightnessCheckMark(window);
    applyBalance(true);
}

static void resetOneAxis(int axis) {
    resetAxis(axis);
    refreshAfterChange();
}

static void resetLowsThreshold() {
    resetLowsBelow();
    refreshAfterChange();
}

static void resetHeightsThreshold() {
    resetHeightsAbove();
    refreshAfterChange();
}

// The shown range's balance values and both thresholds of the current state.
static void resetShownSliders() {
    resetVisible();
    refreshInfoLine();
    applyBalance(true);
}

// Owed work waits while the box is open. Opened inside a wait for the host,
// the box holds that wait until it is closed.
static void openAboutBox(HWND window) {
    beginModalLoop();
    DialogBoxParamA(pluginWindow.instance, MAKEINTRESOURCEA(IDD_ABOUT_BOX), window, aboutDialogProc, 0);
    endModalLoop(window);
}

// Hides the window (it is modeless, so EndDialog does not destroy it),
// releases the swatches, their brushes, the font, both palette copies and the
// conversation, and ends the message loop. It may run inside a wait for the
// host: the host link then posts the quit message again once that wait is over.
// From here on nothing talks to the host or opens a box: work owed is
// forgotten, and the interrupted exchange fails without its box.
static void exitPlugin(HWND window, int commandId) {
    endHostWork();
    EndDialog(window, commandId);
    for (int i = 0; i < 6; ++i) {
        DestroyWindow(pluginWindow.swatches[i]);
        pluginWindow.swatches[i] = nullptr;
        DeleteObject(pluginWindow.swatchBrushes[i]);
        pluginWindow.swatchBrushes[i] = nullptr;
    }
    DeleteObject(pluginWindow.infoFont);
    pluginWindow.infoFont = nullptr;
    freePaletteCopies();
    disconnectHost();
    PostQuitMessage(0);
}

// Menu items, accelerators and the close box (IDCANCEL from the dialog
// manager). Answers TRUE for the About box and the exit commands only.
static INT_PTR onCommand(HWND window, int commandId) {
    switch (commandId) {
    case IDM_BRIGHTNESS_PRESERVATION: toggleBrightnessPreservation(window); return FALSE;
    case IDM_GET_PALETTE_KEEP_STATE:  getNewPaletteKeepingState(); return FALSE;
    case IDM_GET_PALETTE_RESET:       getNewPaletteAndReset(); return FALSE;
    case IDM_SAVE_SETTINGS:           saveSettingsCommand(window); return FALSE;
    case IDM_LOAD_SETTINGS:           loadSettingsCommand(window); return FALSE;
    case IDM_COPY_A_TO_B:             copyState(0, 1); return FALSE;
    case IDM_COPY_B_TO_A:             copyState(1, 0); return FALSE;
    case IDM_CLEAR_STATE_A:           clearState(0); return FALSE;
    case IDM_CLEAR_STATE_B:           clearState(1); return FALSE;
    case IDM_RESET_CYANRED:           resetOneAxis(CyanRed); return FALSE;
    case IDM_RESET_MAGENTAGREEN:      resetOneAxis(MagentaGreen); return FALSE;
    case IDM_RESET_YELLOWBLUE:        resetOneAxis(YellowBlue); return FALSE;
    case IDM_RESET_LOWS:              resetLowsThreshold(); return FALSE;
    case IDM_RESET_HEIGHTS:           resetHeightsThreshold(); return FALSE;
    case IDM_RESET_ALL:               resetShownSliders(); return FALSE;
    case IDM_ABOUT:                   openAboutBox(window); return TRUE;
    case IDOK:                        exitPlugin(window, commandId); return TRUE;
    case IDCANCEL:                    exitPlugin(window, commandId); return TRUE;
    case IDM_EXIT_PLUGIN:             exitPlugin(window, commandId); return TRUE;
    default:                          return FALSE;
    }
}

// Every control has the identifier 0: a control is told by its handle.
// A click or command that ran an exchange with the host runs, once that has
// ended, the work owed during its waits.
static INT_PTR onCommandMessage(HWND window, WPARAM wParam, LPARAM lParam) {
    const INT_PTR answer =
        lParam ? onButtonClick(reinterpret_cast<HWND>(lParam)) : onCommand(window, LOWORD(wParam));
    runOwedHostWork();
    return answer;
}

INT_PTR CALLBACK mainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return onInitDialog(window);
    case WM_HSCROLL:
        return onHorizontalScroll(window, LOWORD(wParam), reinterpret_cast<HWND>(lParam));
    case WM_COMMAND:
        return onCommandMessage(window, wParam, lParam);
    case kRunOwedHostWorkMessage:
        return onRunOwedHostWork(window);
    default:
        return FALSE;
    }
}
