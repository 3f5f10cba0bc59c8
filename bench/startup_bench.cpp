// The plugin program's start-up against a running stand-in host: the time
// from CreateProcess to its main window being visible, to the window taking
// messages, and from the exit command to the end of the process. The host is
// started once; the plugin is started and closed `runs` times.
// Usage: startup_bench [--runs=N]   (default 20)
// Prints one line per run and the median, minimum and maximum of each figure.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench_support.h"
#include "plugin_process.h"
#include "test_support.h"

namespace {

// Takes this thread's messages while polling: the plugin's DDE connect asks
// every top-level window and waits for the answers.
void takeMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

struct StartupFigures {
    double visibleMs = 0;  // CreateProcess to the visible main window
    double readyMs = 0;    // CreateProcess to the window answering a sent message
    double exitMs = 0;     // the exit command to the end of the process
    DWORD exitCode = 0;
};

// One start and exit of the plugin; false when the window did not appear
// within 30 s or the program did not end.
bool measureOnce(StartupFigures& figures) {
    SetCursorPos(640, 300);  // the window opens at the mouse pointer
    PROCESS_INFORMATION process = {};
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    if (!launchProcess("\"" + pluginExePath(PluginBuild::Real) + "\"", process)) return false;
    CloseHandle(process.hThread);

    HWND window = nullptr;
    while (!(window = findTopLevelWindowStarting(PLUGIN_WINDOW_TITLE, process.dwProcessId, 0)) &&
           millisecondsSince(start) < 30000) {
        takeMessages();
        Sleep(1);
    }
    bool measured = window != nullptr;
    if (measured) {
        figures.visibleMs = millisecondsSince(start);
        measured = sendToPlugin(window, WM_NULL, 0, 0, 30000);
        figures.readyMs = millisecondsSince(start);
    }
    if (measured) {
        LARGE_INTEGER exitStart;
        QueryPerformanceCounter(&exitStart);
        PostMessageA(window, WM_COMMAND, IDM_EXIT_PLUGIN, 0);
        measured = waitForProcessExit(process.hProcess, 30000, figures.exitCode);
        figures.exitMs = millisecondsSince(exitStart);
    }
    DWORD exitCode = 0;
    if (!waitForProcessExit(process.hProcess, 0, exitCode)) {
        TerminateProcess(process.hProcess, 99);
        WaitForSingleObject(process.hProcess, 5000);
    }
    CloseHandle(process.hProcess);
    return measured;
}

struct Summary {
    double median, minimum, maximum;
};

Summary summarise(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    const double median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    return {median, values.front(), values.back()};
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = std::max(1, numberOption(argc, argv, "--runs", 20));
    StandInHost host;
    if (!startStandInHost(host, "")) {
        fprintf(stderr, "the stand-in host did not start\n");
        return 1;
    }
    startMessageBoxWatcher(true);
    std::vector<double> visible, ready, exits;
    int failures = 0;
    for (int r = 0; r < runs; ++r) {
        StartupFigures figures;
        if (!measureOnce(figures)) {
            fprintf(stderr, "run %d: the window did not open or the program did not end\n", r + 1);
            ++failures;
            continue;
        }
        printf("run %2d: visible %7.1f ms, taking messages %7.1f ms, exit %6.1f ms (code %lu)\n", r + 1,
               figures.visibleMs, figures.readyMs, figures.exitMs, figures.exitCode);
        fflush(stdout);
        if (figures.exitCode != 0) ++failures;
        visible.push_back(figures.visibleMs);
        ready.push_back(figures.readyMs);
        exits.push_back(figures.exitMs);
    }
    stopMessageBoxWatcher();
    stopStandInHost(host);
    DeleteFileA(host.logPath.c_str());
    for (const SeenMessageBox& box : messageBoxesSeen())
        fprintf(stderr, "message box seen: %s / %s\n", box.caption.c_str(), box.text.c_str());
    if (visible.empty()) return 1;

    printf("\nPlugin start-up against the stand-in host, %zu runs\n", visible.size());
    printf("%-40s %9s %9s %9s\n", "ms", "median", "min", "max");
    const struct {
        const char* name;
        const std::vector<double>& values;
    } rows[] = {{"CreateProcess to visible window", visible},
                {"CreateProcess to window taking messages", ready},
                {"exit command to end of process", exits}};
    for (const auto& row : rows) {
        const Summary s = summarise(row.values);
        printf("%-40s %9.1f %9.1f %9.1f\n", row.name, s.median, s.minimum, s.maximum);
    }
    return failures ? 1 : 0;
}
