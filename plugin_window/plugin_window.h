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

// Slider movements never apply inside the trackbar's notification: the
// apply's wait for the host would dispatch the trackbar's own button-up and
// mouse moves while the trackbar is still handling its button-down. A
// movement marks the settings changed (settingsChanged) and posts this
// message to the main window, once; its handler runs the apply with the
// latest settings, and again while movements came during the last one. Sent,
// it answers 1 while an apply is still to come (one is running elsewhere).
constexpr UINT kApplySliderMovesMessage = WM_APP + 1;

struct SliderApplyRequest {
    bool posted;   // kApplySliderMovesMessage is on its way to the main window
    bool running;  // its handler's applies are running (they wait for the host)
};
extern SliderApplyRequest sliderApplyRequest;

bool createMainWindow(HINSTANCE instance, int showCommand);
HWND createTrackbar(HWND parent, int x, int y, int width, int maxPosition);
HWND createSwatch(HWND parent, int x, int y, HBRUSH brush);
INT_PTR CALLBACK aboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK mainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void syncSliders();
void refreshInfoLine();
