// The main window: a modeless dialog from template 131 that opens under the
// mouse pointer, and its controls, made in code with the identifier 0 and told
// apart by their handles.
#include "plugin_window.h"

#include <commctrl.h>

#include <cstdio>

#include "palette_exchange.h"
#include "resource_ids.h"
#include "slider_state.h"

PluginWindow pluginWindow = {};
char infoText[100] = "";

// Swatch colours (0x00BBGGRR), by swatch index: the left swatch of each row
// shows the negative end of its balance axis, the right one the positive end.
static const COLORREF kSwatchColours[6] = {
    0x00FFFF00,  // cyan
    0x000000FF,  // red
    0x00FF00FF,  // magenta
    0x0000FF00,  // green
    0x0000FFFF,  // yellow
    0x00FF0000,  // blue
};

// The client area that the window's outer size is computed from; 16 pixels
// are added to the width.
constexpr int kClientWidth = 320;
constexpr int kClientHeight = 208;
constexpr int kExtraWidth = 16;
constexpr int kPointerAboveTop = 8;  // the pointer lands on the caption

constexpr int kTrackbarHeight = 32;
constexpr int kBalanceTrackbarWidth = 256;
constexpr int kBalanceRowHeight = 32;
constexpr int kSwatchWidth = 32;
constexpr int kSwatchHeight = 28;
constexpr int kSwatchTop = 4;        // within its row
constexpr int kSwatchOffset = 133;   // balance trackbars start this far left of the middle
constexpr int kInfoLineTop = 96;
constexpr int kInfoLineHeight = 32;
constexpr int kRangeButtonTop = 130;
constexpr int kStateButtonTop = 154;
constexpr int kButtonHeight = 20;
constexpr int kThresholdTrackbarTop = 176;

constexpr DWORD kTrackbarStyle = WS_CHILD | WS_VISIBLE | TBS_BOTH | TBS_FIXEDLENGTH;
constexpr DWORD kSwatchStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
constexpr DWORD kInfoLineStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | SS_CENTER;
constexpr DWORD kButtonStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP;
constexpr UINT kSwatchClassStyle = CS_VREDRAW | CS_HREDRAW | CS_NOCLOSE;

static HWND createChild(const char* className, const char* text, DWORD style, int x, int y,
                        int width, int height) {
    return CreateWindowExA(0, className, text, style, x, y, width, height, pluginWindow.mainWindow,
                           nullptr, pluginWindow.instance, nullptr);
}

HWND createTrackbar(HWND parent, int x, int y, int width, int maxPosition) {
    HWND trackbar = CreateWindowExA(0, TRACKBAR_CLASSA, "Trackbar Control", kTrackbarStyle, x, y, width,
                                    kTrackbarHeight, parent, nullptr, pluginWindow.instance, nullptr);
    SendMessageA(trackbar, TBM_SETRANGE, TRUE, MAKELPARAM(0, maxPosition));
    SendMessageA(trackbar, TBM_SETPAGESIZE, 0, 10);
    SendMessageA(trackbar, TBM_SETPOS, TRUE, maxPosition / 2);
    SendMessageA(trackbar, TBM_SETTIC, 0, maxPosition / 2);
    SetFocus(trackbar);
    return trackbar;
}

// Each swatch needs a window class of its own, because the background brush
// that paints it belongs to the class.
HWND createSwatch(HWND parent, int x, int y, HBRUSH brush) {
    char className[32];
    snprintf(className, sizeof className, "%s%i", "CF", pluginWindow.swatchClassCounter);

    WNDCLASSEXA swatchClass = {};
    swatchClass.cbSize = sizeof swatchClass;
    swatchClass.style = kSwatchClassStyle;
    swatchClass.lpfnWndProc = DefWindowProcA;
    swatchClass.hInstance = pluginWindow.instance;
    swatchClass.hbrBackground = brush;
    swatchClass.lpszClassName = className;
    RegisterClassExA(&swatchClass);  // not checked: a swatch that cannot be made stays null
    pluginWindow.swatchClassCounter += 1;

    return CreateWindowExA(0, className, "-", kSwatchStyle, x, y, kSwatchWidth, kSwatchHeight, parent,
                           nullptr, pluginWindow.instance, nullptr);
}

// The window's outer width W: the width of a window of this style with a menu
// bar around the nominal client area, plus 16. Also gives the outer height.
static void measureWindow(HWND window, int* width, int* height) {
    WINDOWINFO info = {};
    info.cbSize = sizeof info;
    GetWindowInfo(window, &info);
    RECT rect = {0, 0, kClientWidth, kClientHeight};
    AdjustWindowRect(&rect, info.dwStyle, TRUE);
    *width = rect.right - rect.left + kExtraWidth;
    *height = rect.bottom - rect.top;
}

// Centred horizontally on the pointer with the pointer on the caption; not
// clamped to the screen.
static void placeUnderPointer(HWND window, int width, int height) {
    POINT pointer = {};
    GetCursorPos(&pointer);
    MoveWindow(window, pointer.x - width / 2, pointer.y - kPointerAboveTop, width, height, TRUE);
}

static void createBalanceRows(int half) {
    for (int axis = 0; axis < kBalanceAxisCount; ++axis)
        pluginWindow.balanceTrackbars[axis] = createTrackbar(
            pluginWindow.mainWindow, half - kSwatchOffset, kBalanceRowHeight * axis, kBalanceTrackbarWidth,
            kBalanceTrackbarMax);
    for (int i = 0; i < 6; ++i) {
        pluginWindow.swatchBrushes[i] = CreateSolidBrush(kSwatchColours[i]);
        int x = (i % 2 == 0) ? 0 : half + kSwatchOffset;
        int y = kBalanceRowHeight * (i / 2) + kSwatchTop;
        pluginWindow.swatches[i] = createSwatch(pluginWindow.mainWindow, x, y, pluginWindow.swatchBrushes[i]);
    }
}

static void createInfoLine(int width) {
    pluginWindow.infoFont = CreateFontA(16, 8, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                        OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH,
                                        "Lucida Console");
    HWND infoLine = createChild("STATIC", "uninitialized", kInfoLineStyle, 0, kInfoLineTop, width,
                                kInfoLineHeight);
    if (pluginWindow.infoFont)
        SendMessageA(infoLine, WM_SETFONT, reinterpret_cast<WPARAM>(pluginWindow.infoFont), TRUE);
    pluginWindow.infoLine = infoLine;
}

// No font is set on the buttons: they draw with the system font.
static void createButtons(int width, int half) {
    for (int range = 0; range < kToneRangeCount; ++range)
        pluginWindow.rangeButtons[range] = createChild("BUTTON", rangeDisplayName(range), kButtonStyle,
                                                       (range * width) / 4 + 2, kRangeButtonTop,
                                                       width / 4 - 10, kButtonHeight);
    for (int state = 0; state < kSliderStateCount; ++state)
        pluginWindow.stateButtons[state] = createChild("BUTTON", stateDisplayName(state), kButtonStyle,
                                                       (state * width) / 2 + 2, kStateButtonTop, half - 10,
                                                       kButtonHeight);
}

static void createThresholdTrackbars(int half) {
    pluginWindow.lowsBelowTrackbar =
        createTrackbar(pluginWindow.mainWindow, 0, kThresholdTrackbarTop, half, kThresholdTrackbarMax);
    pluginWindow.heightsAboveTrackbar =
        createTrackbar(pluginWindow.mainWindow, half, kThresholdTrackbarTop, half, kThresholdTrackbarMax);
}

bool createMainWindow(HINSTANCE instance, int showCommand) {
    pluginWindow.instance = instance;
    // The template is visible: the window shows at its nominal place when this
    // returns, and is sized, moved and filled while visible. Its
    // initialisation fetches the palette before any control exists.
    HWND window = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_MAIN_WINDOW), nullptr, mainDialogProc, 0);
    if (!window) return false;
    pluginWindow.mainWindow = window;
    clipboardOwner = window;

    int width = 0;
    int height = 0;
    measureWindow(window, &width, &height);
    int half = width / 2;
    placeUnderPointer(window, width, height);

    createBalanceRows(half);
    createInfoLine(width);
    createButtons(width, half);
    createThresholdTrackbars(half);

    refreshInfoLine();
    syncSliders();
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    return true;
}

// Positions set from the program send no notification, so they change no
// value and start no apply.
void syncSliders() {
    const SliderState& state = currentSliderState();
    const float* balance = state.balance[balanceSettings.currentRange];
    for (int axis = 0; axis < kBalanceAxisCount; ++axis)
        SendMessageA(pluginWindow.balanceTrackbars[axis], TBM_SETPOS, TRUE, balanceToPosition(balance[axis]));
    SendMessageA(pluginWindow.lowsBelowTrackbar, TBM_SETPOS, TRUE, thresholdToPosition(state.lowsBelow));
    SendMessageA(pluginWindow.heightsAboveTrackbar, TBM_SETPOS, TRUE, thresholdToPosition(state.heightsAbove));
}

// Two lines, centred by the control.
void refreshInfoLine() {
    if (!pluginWindow.infoLine) return;
    snprintf(infoText, sizeof infoText, "%s", formatInfoLine(balanceSettings).c_str());
    SetWindowTextA(pluginWindow.infoLine, infoText);
}
