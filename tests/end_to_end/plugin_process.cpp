#include "plugin_process.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>

#include "plugin_probe.h"
#include "plugin_window.h"

#ifndef PLUGIN_EXE_UNIX_PATH
#error "PLUGIN_EXE_UNIX_PATH must name the ColorBalancePlugin.exe of this build"
#endif
#ifndef PROBED_PLUGIN_EXE_UNIX_PATH
#error "PROBED_PLUGIN_EXE_UNIX_PATH must name the probed plugin build"
#endif

const char* pluginBuildName(PluginBuild build) {
    return build == PluginBuild::Real ? "ColorBalancePlugin" : "ProbedPlugin";
}

std::string pluginExePath(PluginBuild build) {
    // Wine maps the Unix root to drive Z:.
    std::string path =
        std::string("Z:") + (build == PluginBuild::Real ? PLUGIN_EXE_UNIX_PATH : PROBED_PLUGIN_EXE_UNIX_PATH);
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

std::string windowText(HWND window) {
    char text[512] = "";
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_NORMAL,
                             5000, &copied))
        return "<no answer>";
    return std::string(text, size_t(copied));
}

std::string className(HWND window) {
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

int trackbarPosition(HWND trackbar) {
    DWORD_PTR position = 0;
    if (!SendMessageTimeoutA(trackbar, TBM_GETPOS, 0, 0, SMTO_NORMAL, 5000, &position)) return -1;
    return int(position);
}

RECT rectInParent(HWND child, HWND parent) {
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::vector<HWND> childWindows(HWND parent) {
    std::vector<HWND> children;
    EnumChildWindows(
        parent,
        [](HWND child, LPARAM list) {
            reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&children));
    return children;
}

PluginControls findControls(HWND window) {
    PluginControls controls;
    std::vector<HWND> children = childWindows(window);
    controls.childCount = children.size();
    std::vector<HWND> trackbars;
    const char* ranges[4] = {"Lows", "Mediums", "Heights", "All"};
    const char* states[2] = {"State A", "State B"};
    for (HWND child : children) {
        const std::string name = className(child);
        if (name == "msctls_trackbar32") trackbars.push_back(child);
        if (name.size() == 3 && name.compare(0, 2, "CF") == 0 && name[2] >= '0' && name[2] <= '5')
            controls.swatches[name[2] - '0'] = child;
        if (name == "Static") controls.infoLine = child;
        if (name == "Button") {
            const std::string text = windowText(child);
            for (int r = 0; r < 4; ++r)
                if (text == ranges[r]) controls.rangeButtons[r] = child;
            for (int s = 0; s < 2; ++s)
                if (text == states[s]) controls.stateButtons[s] = child;
        }
    }
    std::sort(trackbars.begin(), trackbars.end(), [window](HWND a, HWND b) {
        const RECT ra = rectInParent(a, window), rb = rectInParent(b, window);
        return ra.top != rb.top ? ra.top < rb.top : ra.left < rb.left;
    });
    if (trackbars.size() == 5) {
        for (int a = 0; a < 3; ++a) controls.balanceTrackbars[a] = trackbars[a];
        controls.lowsBelowTrackbar = trackbars[3];
        controls.heightsAboveTrackbar = trackbars[4];
    }
    return controls;
}

bool allControlsFound(const PluginControls& c) {
    for (HWND h : c.balanceTrackbars)
        if (!h) return false;
    for (HWND h : c.swatches)
        if (!h) return false;
    for (HWND h : c.rangeButtons)
        if (!h) return false;
    for (HWND h : c.stateButtons)
        if (!h) return false;
    return c.lowsBelowTrackbar && c.heightsAboveTrackbar && c.infoLine;
}

bool PluginRun::start(PluginBuild build, int x, int y, DWORD timeoutMs) {
    return launch(build, x, y) && waitForWindow(timeoutMs);
}

bool PluginRun::launch(PluginBuild build, int x, int y) {
    stop();
    process = {};
    window = nullptr;
    probe = nullptr;
    controls = {};
    launchedBuild = build;
    SetCursorPos(x, y);
    const std::string path = program.empty() ? pluginExePath(build) : program;
    if (!launchProcess("\"" + path + "\"", process)) return false;
    CloseHandle(process.hThread);
    process.hThread = nullptr;
    return true;
}

bool PluginRun::waitForWindow(DWORD timeoutMs) {
    auto found = [this] { return (window = findTopLevelWindowStarting(PLUGIN_WINDOW_TITLE, process.dwProcessId, 0)); };
    if (!waitUntil(found, timeoutMs)) return false;
    // The info line shows the state once every control exists.
    auto filled = [this] {
        controls = findControls(window);
        char text[128] = "";
        if (controls.infoLine) GetWindowTextA(controls.infoLine, text, sizeof text);
        return allControlsFound(controls) && std::strncmp(text, "State", 5) == 0;
    };
    if (!waitUntil(filled, timeoutMs)) return false;
    // A sent message is answered only once the program takes messages again.
    if (!sendToPlugin(window, WM_NULL, 0, 0, timeoutMs)) return false;
    if (launchedBuild == PluginBuild::Probed) {
        auto probed = [this] { return (probe = findProbeWindow(process.dwProcessId)); };
        if (!waitUntil(probed, timeoutMs)) return false;
    }
    return true;
}

bool PluginRun::waitForExit(DWORD timeoutMs, DWORD& exitCode) {
    return waitUntil([&] { return waitForProcessExit(process.hProcess, 0, exitCode); }, timeoutMs);
}

bool PluginRun::running() {
    DWORD exitCode = 0;
    return process.hProcess && !waitForProcessExit(process.hProcess, 0, exitCode);
}

void PluginRun::stop() {
    if (!process.hProcess) return;
    DWORD exitCode = 0;
    if (running()) {
        if (window) PostMessageA(window, WM_COMMAND, IDM_EXIT_PLUGIN, 0);
        if (!waitForExit(5000, exitCode)) {
            TerminateProcess(process.hProcess, 99);
            WaitForSingleObject(process.hProcess, 5000);
        }
    }
    CloseHandle(process.hProcess);
    process.hProcess = nullptr;
}

PluginRun::~PluginRun() {
    if (!process.hProcess) return;
    if (running()) {
        TerminateProcess(process.hProcess, 99);
        WaitForSingleObject(process.hProcess, 5000);
    }
    CloseHandle(process.hProcess);
}

bool sendToPlugin(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD timeoutMs, LRESULT* answer) {
    DWORD_PTR result = 0;
    const bool answered = SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, timeoutMs, &result) != 0;
    if (answer) *answer = LRESULT(result);
    return answered;
}

bool waitForSliderApplies(const PluginRun& run, DWORD timeoutMs) {
    return waitUntil(
        [&] {
            LRESULT owed = 1;
            return sendToPlugin(run.window, kRunOwedHostWorkMessage, 0, 0, 30000, &owed) && owed == 0;
        },
        timeoutMs);
}

bool moveTrackbar(const PluginRun& run, HWND trackbar, int position, int code) {
    return sendToPlugin(trackbar, TBM_SETPOS, TRUE, position) &&
           sendToPlugin(run.window, WM_HSCROLL, MAKEWPARAM(code, position), reinterpret_cast<LPARAM>(trackbar)) &&
           waitForSliderApplies(run);
}

bool postTrackbarMove(const PluginRun& run, HWND trackbar, int position, int code) {
    return PostMessageA(trackbar, TBM_SETPOS, TRUE, position) &&
           PostMessageA(run.window, WM_HSCROLL, MAKEWPARAM(code, position), reinterpret_cast<LPARAM>(trackbar));
}

bool clickButton(const PluginRun& run, HWND button) {
    return sendToPlugin(run.window, WM_COMMAND, MAKEWPARAM(0, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

bool runCommand(const PluginRun& run, int commandId) {
    return sendToPlugin(run.window, WM_COMMAND, WPARAM(commandId), 0);
}

// Absolute coordinates run from 0 to 65535 across the screen.
void sendMouse(int x, int y, DWORD buttonFlags) {
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = LONG((x * 65536LL + width / 2) / width);
    input.mi.dy = LONG((y * 65536LL + height / 2) / height);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | buttonFlags;
    SendInput(1, &input, sizeof input);
}

HWND captureOf(const PluginRun& run) {
    GUITHREADINFO thread = {};
    thread.cbSize = sizeof thread;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(run.window, nullptr), &thread)) return nullptr;
    return thread.hwndCapture;
}

HWND findProbeWindow(DWORD processId) {
    HWND probe = nullptr;
    while ((probe = FindWindowExA(HWND_MESSAGE, probe, kProbeWindowClass, nullptr))) {
        DWORD owner = 0;
        GetWindowThreadProcessId(probe, &owner);
        if (owner == processId) return probe;
    }
    return nullptr;
}

HWND waitForFileDialog(const PluginRun& run, const char* title, DWORD timeoutMs) {
    HWND dialog = nullptr;
    waitUntil([&] { return (dialog = findTopLevelWindowStarting(title, run.process.dwProcessId, 0)) != nullptr; },
              timeoutMs);
    return dialog;
}

static bool waitUntilGone(HWND window, DWORD timeoutMs) {
    return waitUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); }, timeoutMs);
}

bool chooseFileInDialog(HWND dialog, const std::string& windowsPath, DWORD timeoutMs) {
    // The file name box: cmb13 in the dialog of today, edt1 in the older one.
    HWND name = GetDlgItem(dialog, 0x47C);
    if (!name) name = GetDlgItem(dialog, 0x480);
    DWORD_PTR answer = 0;
    if (!name || !SendMessageTimeoutA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(windowsPath.c_str()),
                                      SMTO_NORMAL, 5000, &answer))
        return false;
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return waitUntilGone(dialog, timeoutMs);
}

bool cancelFileDialog(HWND dialog, DWORD timeoutMs) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    return waitUntilGone(dialog, timeoutMs);
}

bool windowIsAbove(HWND upper, HWND lower) {
    for (HWND below = GetWindow(upper, GW_HWNDNEXT); below; below = GetWindow(below, GW_HWNDNEXT))
        if (below == lower) return true;
    return false;
}

bool probeRead(HWND probe, unsigned item, LRESULT& value) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(probe, kProbeReadMessage, item, 0, SMTO_NORMAL, 5000, &result)) return false;
    value = LRESULT(result);
    return value != kProbeNoSuchItem;
}

// Reading the busy flags alone is not enough: the probe thread reads them at
// any moment, also between two steps of the GUI thread's work, and messages
// posted by the test may still wait in the queue. So the GUI thread itself
// says whether it was idle when it took a mark posted after them.
bool waitUntilPluginIdle(const PluginRun& run, DWORD timeoutMs) {
    static LONG lastMark = 0;
    const DWORD start = GetTickCount();
    // The first read of the mark starts the probe's watch of the queue, so
    // it comes before any mark is posted.
    LRESULT taken = 0;
    if (!probeRead(run.probe, kProbeQueueMark, taken)) return false;
    for (;;) {
        const LONG mark = ++lastMark;
        if (!PostMessageA(run.window, kProbeQueueMarkMessage, WPARAM(mark), 0)) return false;
        const DWORD spent = GetTickCount() - start;
        const bool markTaken = waitUntil(
            [&] { return probeRead(run.probe, kProbeQueueMark, taken) && taken / 2 >= mark; },
            spent < timeoutMs ? timeoutMs - spent : 0);
        if (!markTaken) return false;
        if (taken / 2 == mark && taken % 2 == 1) return true;
        if (GetTickCount() - start >= timeoutMs) return false;
        pumpMessagesFor(5);
    }
}
