// The plugin program as a child process of a test: launching it (the real
// build or the probed one), finding its window and controls, driving the
// controls with messages, and reading the probe of the probed build.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "test_support.h"

// The plugin's window titles (PLUGIN_WINDOW_TITLE, ABOUT_BOX_TITLE), command
// ids and message-box texts, by the names the plugin itself uses.
#include "resource_ids.h"
#include "slider_state.h"
#include "user_messages.h"

enum class PluginBuild { Real, Probed };
const char* pluginBuildName(PluginBuild build);
// The Windows path (Z:\...) of ColorBalancePlugin.exe or of its probed build.
std::string pluginExePath(PluginBuild build);

// Waits until `done` holds or `timeoutMs` runs out, taking this thread's
// messages meanwhile (the plugin's DDE connect asks every top-level window
// and waits for the answers). True when `done` held.
template <typename Condition>
bool waitUntil(Condition done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (done()) return true;
        if (GetTickCount() - start >= timeoutMs) return false;
        pumpMessagesFor(5);
    }
}

// The info line of the start-up settings with CyanRed of `range` moved to
// trackbar position `position`: what a session that moved only that slider
// shows.
inline std::string infoLineWithCyanRed(int range, int position) {
    BalanceSettings settings = kDefaultBalanceSettings;
    settings.currentRange = range;
    settings.states[0].balance[range][CyanRed] = balanceFromPosition(position);
    return formatInfoLine(settings);
}

// Text of a window of another process ("<no answer>" when its thread does
// not answer within 5 s).
std::string windowText(HWND window);
std::string className(HWND window);
// TBM_GETPOS of a trackbar of another process; -1 without an answer.
int trackbarPosition(HWND trackbar);
// A window's rectangle in its parent's client coordinates.
RECT rectInParent(HWND child, HWND parent);
std::vector<HWND> childWindows(HWND parent);

// The plugin's controls as this process finds them: trackbars by class and
// place (three balance rows, then lows-below left of heights-above), swatches
// by class name CF0..CF5, buttons by their text, the info line by class.
struct PluginControls {
    HWND balanceTrackbars[3] = {};  // CyanRed, MagentaGreen, YellowBlue
    HWND lowsBelowTrackbar = nullptr;
    HWND heightsAboveTrackbar = nullptr;
    HWND swatches[6] = {};
    HWND infoLine = nullptr;
    HWND rangeButtons[4] = {};      // Lows, Mediums, Heights, All
    HWND stateButtons[2] = {};      // State A, State B
    size_t childCount = 0;
};
PluginControls findControls(HWND window);
// True when every control was found.
bool allControlsFound(const PluginControls& controls);

// One run of the plugin program. The destructor terminates a program that is
// still running.
struct PluginRun {
    PROCESS_INFORMATION process = {};
    HWND window = nullptr;
    HWND probe = nullptr;  // the probed build's probe window
    PluginControls controls;
    PluginBuild launchedBuild = PluginBuild::Real;  // set by launch()
    // Windows path of a plugin program to start in place of this build's
    // (empty: the one that launch() is given).
    std::string program;

    // Launches the program with the mouse pointer at (x, y), where its
    // window will open, and waits until the window is filled and the program
    // takes messages (and, for the probed build, the probe answers):
    // launch(), then waitForWindow().
    bool start(PluginBuild build, int x = 640, int y = 300, DWORD timeoutMs = 20000);
    // Only launches the program (ending a previous run first), with the
    // mouse pointer at (x, y); returns without waiting for any window, for
    // runs whose start-up checks end the program before it opens one.
    bool launch(PluginBuild build, int x = 640, int y = 300);
    // The waiting part of start() for a launched program: until the window
    // is filled and the program takes messages (and, for the probed build,
    // the probe answers). Sets window, controls and probe.
    bool waitForWindow(DWORD timeoutMs = 20000);
    bool waitForExit(DWORD timeoutMs, DWORD& exitCode);
    bool running();
    // Ends a running program: "E&xit Plugin" first, termination after 5 s.
    void stop();
    ~PluginRun();
};

// Sends a message to the plugin's window or one of its controls and waits
// for the answer (the handler's whole run, host waits included); false when
// none came within `timeoutMs`.
bool sendToPlugin(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                  DWORD timeoutMs = 30000, LRESULT* answer = nullptr);
// Runs the work owed to the host (the apply that slider movements asked for
// among it), by sending the request that they post, or waits for the
// exchange running; true once nothing is owed and the host is free.
bool waitForSliderApplies(const PluginRun& run, DWORD timeoutMs = 30000);
// A user movement of a trackbar as the trackbar itself reports it: the new
// position, then WM_HSCROLL with `code` to the main window; then the apply
// that the movement asked for (waitForSliderApplies).
bool moveTrackbar(const PluginRun& run, HWND trackbar, int position, int code = 5 /* TB_THUMBTRACK */);
// The same without waiting for the handler: the position is set, the
// notification is posted.
bool postTrackbarMove(const PluginRun& run, HWND trackbar, int position,
                      int code = 5 /* TB_THUMBTRACK */);
// A click of a button as the button reports it (WM_COMMAND, BN_CLICKED,
// the button's handle), waited for.
bool clickButton(const PluginRun& run, HWND button);
// A menu command by its id, waited for.
bool runCommand(const PluginRun& run, int commandId);

// The plugin's standard file dialog titled `title` (the Save or Open dialog
// of the settings files) once it is shown; null on time-out.
HWND waitForFileDialog(const PluginRun& run, const char* title, DWORD timeoutMs = 10000);
// Types `windowsPath` into a file dialog's file name box and presses its
// Save or Open button; true once the dialog has gone.
bool chooseFileInDialog(HWND dialog, const std::string& windowsPath, DWORD timeoutMs = 10000);
// Presses a file dialog's Cancel button; true once the dialog has gone.
bool cancelFileDialog(HWND dialog, DWORD timeoutMs = 10000);
// True when `upper` lies above `lower` in the order of top-level windows.
bool windowIsAbove(HWND upper, HWND lower);

// Real input: the pointer moved to the screen point (x, y), with the mouse
// button events of `buttonFlags` (MOUSEEVENTF_LEFTDOWN ...) there.
void sendMouse(int x, int y, DWORD buttonFlags);
// The window that holds the mouse capture in the plugin's GUI thread.
HWND captureOf(const PluginRun& run);

// The probed build's probe window of process `processId`, or null.
HWND findProbeWindow(DWORD processId);
// Reads one probe item (see plugin_probe.h); false without an answer or for
// an item the probe does not know.
bool probeRead(HWND probe, unsigned item, LRESULT& value);
// Waits until the probed plugin has handled every message posted to it before
// the call and is idle: no apply running and no work for the host pending.
// False when that does not come within `timeoutMs`.
bool waitUntilPluginIdle(const PluginRun& run, DWORD timeoutMs);
