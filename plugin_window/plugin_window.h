// The plugin's one window and its controls, and the operations that show the
// current slider state on them.
#pragma once

#include <windows.h>

struct PluginWindow {
    HINSTANCE instance;
    HWND mainWindow;               // null until its creation call has returned
    HWND balanceTrackbars[3];      // by BalanceAxis
    HWND lowsBelowTrackbar;
    HWND heightsAboveTrackbar;
    HWND swatches[6];              // cyan, red, magenta, green, yellow, blue
    HBRUSH swatchBrushes[6];
    HWND rangeButtons[4];          // by ToneRange
    HWND stateButtons[2];
    HWND infoLine;
    HFONT infoFont;
    int swatchClassCounter;
};

extern PluginWindow pluginWindow;
extern char infoText[100];

// Posted to the main window by slider movements (their apply never runs
// inside the trackbar's notification: its wait would dispatch the trackbar's
// own button-up while the trackbar still handles its button-down), after the
// fetch at the window's creation, and when the outermost modal loop closes;
// its handler runs the owed work when nothing holds it. Sent, it answers 1
// while work is still owed or running, so that a sender can wait until the
// host has everything.
constexpr UINT kRunOwedHostWorkMessage = WM_APP + 1;

bool createMainWindow(HINSTANCE instance, int showCommand);
HWND createTrackbar(HWND parent, int x, int y, int width, int maxPosition);
HWND createSwatch(HWND parent, int x, int y, HBRUSH brush);
INT_PTR CALLBACK aboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK mainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void syncSliders();
// Sets the brightness item's check mark from the settings.
void showBrightnessCheckMark(HWND window);
void refreshInfoLine();
