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

// Work for the host that a handler asked for while an exchange with the host
// was running (the exchange's wait runs the handlers): it is owed, and runs
// once that exchange has ended, in the order it was asked for, a fetch
// before the apply that follows it. Owed applies are in apply_balance.h.
enum FetchOwed { NoFetchOwed, FetchKeepingState, FetchAndReset };

struct OwedHostWork {
    FetchOwed fetch;     // "+reset" wins over "+keep state" when both are owed
    bool requestPosted;  // kRunOwedHostWorkMessage is on its way to the main window
};
extern OwedHostWork owedHostWork;

// Posted to the main window by slider movements (their apply never runs
// inside the trackbar's notification: its wait would dispatch the trackbar's
// own button-up while the trackbar still handles its button-down) and after
// a fetch at the window's creation; its handler runs the owed work when the
// host is free. Sent, it answers 1 while work is still owed or an exchange
// runs, so that a sender can wait until the host has everything.
constexpr UINT kRunOwedHostWorkMessage = WM_APP + 1;

// "Get New Palette": fetches, resets both states when asked, then applies.
// Runs at once when the host is free; otherwise the fetch is owed.
void getNewPalette(FetchOwed kind);
// Runs the owed work while the host is free: owed fetches and then the owed
// apply. Returns at once while an exchange runs; its end runs the work.
void runOwedHostWork();
// True while a fetch or an apply is owed.
bool hostWorkOwed();
// True while work for the host is owed, on its way, or an exchange with it runs.
bool hostWorkPending();
// Posts kRunOwedHostWorkMessage unless it is on its way already.
void requestOwedHostWork(HWND window);
// The exit command: nothing owed is sent any more.
void forgetOwedHostWork();

bool createMainWindow(HINSTANCE instance, int showCommand);
HWND createTrackbar(HWND parent, int x, int y, int width, int maxPosition);
HWND createSwatch(HWND parent, int x, int y, HBRUSH brush);
INT_PTR CALLBACK aboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK mainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void syncSliders();
// Sets the brightness item's check mark from the settings.
void showBrightnessCheckMark(HWND window);
void refreshInfoLine();
