// Drives a short scripted session of the plugin beside the stand-in host for
// the demo on a display without a user: it moves sliders, switches the
// state and the brightness switch like a user would, and reports where the
// windows are (for screenshots) and how much of the host's palette changed.
//   demo_session host-window          waits until the host window has painted,
//                                     prints its rectangle
//   demo_session drive LOG            runs the session, prints the summary
//   demo_session plugin-window        prints the plugin window's rectangle
//   demo_session plugin-sliders       waits until the plugin window is filled,
//                                     prints its CyanRed and YellowBlue
//                                     trackbars' rectangles, one a line
//   demo_session settle               waits until the plugin has handled its
//                                     input and the host has repainted
//   demo_session exit                 gives the plugin its exit command
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "plugin_window.h"
#include "resource_ids.h"
#include "test_support.h"

namespace {

const char kHostTitlePrefix[] = "Kavrin (stand-in)";
constexpr DWORD kWindowWaitMs = 30000;

bool printWindowRect(HWND window, const char* name) {
    RECT rect;
    if (!window || !GetWindowRect(window, &rect)) {
        std::printf("%s window not found\n", name);
        return false;
    }
    std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    return true;
}

struct Controls {
    std::vector<HWND> trackbars;  // three balance sliders, then lows-below, heights-above
    std::vector<HWND> buttons;    // Lows, Mediums, Heights, All, State A, State B
};

BOOL CALLBACK collectControl(HWND child, LPARAM data) {
    Controls& controls = *reinterpret_cast<Controls*>(data);
    char name[64] = "";
    GetClassNameA(child, name, sizeof name);
    if (lstrcmpiA(name, TRACKBAR_CLASSA) == 0) controls.trackbars.push_back(child);
    if (lstrcmpiA(name, "Button") == 0) controls.buttons.push_back(child);
    return TRUE;
}

// Moves a slider as a user's drag does: the position, then the notification,
// then a short pause at a hand's pace. It does not wait for the palette: a
// movement that comes while the plugin waits for the host is sent with the
// next palette, and a click right after it waits its turn.
void moveSlider(HWND window, HWND trackbar, int position) {
    SendMessageA(trackbar, TBM_SETPOS, TRUE, position);
    SendMessageA(window, WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, position), LPARAM(trackbar));
    Sleep(10);
}

// Waits until the plugin has sent everything the session asked for: asked
// with kRunOwedHostWorkMessage, it answers 1 while work for the host is owed
// or an exchange runs.
bool waitForPlugin(HWND window) {
    const DWORD start = GetTickCount();
    DWORD_PTR owed = 1;
    while (GetTickCount() - start < kWindowWaitMs) {
        if (!SendMessageTimeoutA(window, kRunOwedHostWorkMessage, 0, 0, SMTO_NORMAL, kWindowWaitMs, &owed))
            return false;
        if (owed == 0) return true;
        Sleep(5);
    }
    return false;
}

void click(HWND window, HWND button) {
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(0, BN_CLICKED), LPARAM(button));
}

// How many colour-table entries differ in red, green or blue.
int changedEntries(const std::vector<uint8_t>& before, const std::vector<uint8_t>& after) {
    int changed = 0;
    for (size_t i = 0; i + 3 < before.size() && i + 3 < after.size(); i += 4)
        if (before[i] != after[i] || before[i + 1] != after[i + 1] || before[i + 2] != after[i + 2]) ++changed;
    return changed;
}

int drive(const char* logPath) {
    std::vector<uint8_t> block;
    if (!connectTestClient() || !fetchHostPalette(block)) {
        std::printf("the stand-in host does not answer\n");
        return 1;
    }
    disconnectTestClient();
    const uint32_t colours = uint32_t(block[32]) | uint32_t(block[33]) << 8;
    if (block.size() < 40 + 4 * size_t(colours)) {
        std::printf("the host's palette block is too short\n");
        return 1;
    }
    const std::vector<uint8_t> original(block.begin() + 40, block.begin() + 40 + 4 * colours);

    HWND window = findTopLevelWindow(PLUGIN_WINDOW_TITLE, kWindowWaitMs);
    if (!window) {
        std::printf("the plugin window did not appear\n");
        return 1;
    }
    Controls controls;
    EnumChildWindows(window, collectControl, LPARAM(&controls));
    if (controls.trackbars.size() != 5 || controls.buttons.size() != 6) {
        std::printf("the plugin window lacks its controls\n");
        return 1;
    }
    // A warm evening: Heights towards red and yellow, the Lows towards blue.
    click(window, controls.buttons[2]);                       // Heights
    for (int p = 256; p <= 460; p += 12) moveSlider(window, controls.trackbars[0], p);
    for (int p = 256; p >= 110; p -= 12) moveSlider(window, controls.trackbars[2], p);
    click(window, controls.buttons[0]);                       // Lows
    for (int p = 256; p <= 440; p += 12) moveSlider(window, controls.trackbars[2], p);
    moveSlider(window, controls.trackbars[0], 200);
    click(window, controls.buttons[3]);                       // All
    moveSlider(window, controls.trackbars[1], 220);
    moveSlider(window, controls.trackbars[3], 70);            // lows-below
    click(window, controls.buttons[5]);                       // State B: untouched, the original palette
    click(window, controls.buttons[4]);                       // back to State A
    SendMessageA(window, WM_COMMAND, IDM_BRIGHTNESS_PRESERVATION, 0);  // brightness preservation off
    SendMessageA(window, WM_COMMAND, IDM_BRIGHTNESS_PRESERVATION, 0);  // and on again
    if (!waitForPlugin(window)) {
        std::printf("the plugin did not finish sending\n");
        return 1;
    }

    StandInHost host;
    host.logPath = logPath;
    const std::vector<std::vector<uint8_t>> received = hostReceivedPalettes(host);
    if (received.empty()) {
        std::printf("the host received no palette\n");
        return 1;
    }
    std::printf("%zu palettes sent; %d of %zu palette entries changed\n", received.size(),
                changedEntries(original, received.back()), original.size() / 4);
    return 0;
}

// The plugin window once its controls exist and its info line shows the
// settings (it is placed under the pointer before that); null on time-out.
HWND filledPluginWindow(Controls& controls) {
    HWND window = findTopLevelWindow(PLUGIN_WINDOW_TITLE, kWindowWaitMs);
    const DWORD start = GetTickCount();
    while (window && GetTickCount() - start < kWindowWaitMs) {
        controls = Controls{};
        EnumChildWindows(window, collectControl, LPARAM(&controls));
        char info[128] = "";
        HWND infoLine = FindWindowExA(window, nullptr, "Static", nullptr);
        if (infoLine) GetWindowTextA(infoLine, info, sizeof info);
        if (controls.trackbars.size() == 5 && std::string(info).rfind("State ", 0) == 0) return window;
        Sleep(20);
    }
    return nullptr;
}

int printPluginSliders() {
    Controls controls;
    if (!filledPluginWindow(controls)) {
        std::printf("the plugin window did not fill\n");
        return 1;
    }
    return printWindowRect(controls.trackbars[0], "CyanRed") && printWindowRect(controls.trackbars[2], "YellowBlue")
               ? 0
               : 1;
}

// A message sent to a window returns once its thread has handled what came
// before it; the host then paints what is still invalid at once.
// Waits until `window`'s thread has handled what is queued for it and the
// window has painted, so that a screenshot shows its contents. The second
// round trip lets the thread's message loop pass its painting on to the
// display.
bool settleWindow(HWND window) {
    DWORD_PTR answer = 0;
    return window && SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, kWindowWaitMs, &answer) &&
           RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN) &&
           SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, kWindowWaitMs, &answer);
}

int printHostWindow() {
    HWND host = findTopLevelWindowStarting(kHostTitlePrefix, 0, kWindowWaitMs);
    return settleWindow(host) && printWindowRect(host, "host") ? 0 : 1;
}

int settle() {
    HWND plugin = findTopLevelWindow(PLUGIN_WINDOW_TITLE, kWindowWaitMs);
    HWND host = findTopLevelWindowStarting(kHostTitlePrefix, 0, kWindowWaitMs);
    DWORD_PTR answer = 0;
    if (!plugin || !SendMessageTimeoutA(plugin, WM_NULL, 0, 0, SMTO_NORMAL, kWindowWaitMs, &answer))
        return 1;
    return settleWindow(host) ? 0 : 1;
}

int exitPlugin() {
    HWND window = findTopLevelWindow(PLUGIN_WINDOW_TITLE, 5000);
    if (!window) return 1;
    PostMessageA(window, WM_COMMAND, IDM_EXIT_PLUGIN, 0);  // "E&xit Plugin"
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string verb = argc > 1 ? argv[1] : "";
    if (verb == "host-window")
        return printHostWindow();
    if (verb == "plugin-window")
        return printWindowRect(findTopLevelWindow(PLUGIN_WINDOW_TITLE, kWindowWaitMs), "plugin") ? 0 : 1;
    if (verb == "drive" && argc > 2) return drive(argv[2]);
    if (verb == "plugin-sliders") return printPluginSliders();
    if (verb == "settle") return settle();
    if (verb == "exit") return exitPlugin();
    std::printf("usage: demo_session host-window | plugin-window | plugin-sliders | drive LOG | settle | exit\n");
    return 2;
}
