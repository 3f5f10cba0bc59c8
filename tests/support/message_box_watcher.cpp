// A background thread that closes message boxes. The code under test shows
// modal boxes on the test's own thread, which then waits inside MessageBoxA;
// the watcher reads each box, records it and presses OK.
#include "test_support.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

namespace {

struct MessageBoxWatcher {
    std::thread thread;
    std::atomic<bool> running{false};
    bool anyProcess = false;
    std::mutex lock;                  // guards seen
    std::vector<SeenMessageBox> seen;
    std::vector<HWND> closing;        // boxes told to close, not yet gone
};

MessageBoxWatcher watcher;

// False when the window's thread did not answer in time (it may be busy
// for a moment, for instance right after a long wait for the host).
bool windowText(HWND window, std::string& text) {
    char buffer[4096] = "";
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer),
                             SMTO_ABORTIFHUNG, 1000, &copied))
        return false;
    text.assign(buffer, size_t(copied));
    return true;
}

// A message box is a dialog with its text in the static control 0xFFFF and
// an icon control: id 1088 under Wine, 20 under Windows. Other dialogs, such
// as a program's main window or an About box, are left alone.
bool isMessageBox(HWND window) {
    char className[64] = "";
    GetClassNameA(window, className, sizeof className);
    return strcmp(className, "#32770") == 0 && GetDlgItem(window, 0xFFFF) &&
           (GetDlgItem(window, 1088) || GetDlgItem(window, 20));
}

BOOL CALLBACK inspectWindow(HWND window, LPARAM) {
    if (!IsWindowVisible(window) || !isMessageBox(window)) return TRUE;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (!watcher.anyProcess && processId != GetCurrentProcessId()) return TRUE;
    if (std::find(watcher.closing.begin(), watcher.closing.end(), window) != watcher.closing.end())
        return TRUE;
    SeenMessageBox box;
    // A message box's text is the static control with id 0xFFFF. A box whose
    // thread does not answer yet is read again on the next round.
    HWND text = GetDlgItem(window, 0xFFFF);
    if (!windowText(window, box.caption) || !text || !windowText(text, box.text)) return TRUE;
    box.processId = processId;
    {
        std::lock_guard<std::mutex> guard(watcher.lock);
        watcher.seen.push_back(box);
    }
    watcher.closing.push_back(window);
    PostMessageA(window, WM_COMMAND, IDOK, 0);
    return TRUE;
}

void watchForBoxes() {
    while (watcher.running) {
        // Forget boxes that have gone, so that a reused handle counts again.
        watcher.closing.erase(std::remove_if(watcher.closing.begin(), watcher.closing.end(),
                                             [](HWND box) { return !IsWindow(box); }),
                              watcher.closing.end());
        EnumWindows(inspectWindow, 0);
        Sleep(20);
    }
}

}  // namespace

bool startMessageBoxWatcher(bool anyProcess) {
    stopMessageBoxWatcher();
    {
        std::lock_guard<std::mutex> guard(watcher.lock);
        watcher.seen.clear();
    }
    watcher.closing.clear();
    watcher.anyProcess = anyProcess;
    watcher.running = true;
    watcher.thread = std::thread(watchForBoxes);
    return true;
}

void stopMessageBoxWatcher() {
    watcher.running = false;
    if (watcher.thread.joinable()) watcher.thread.join();
}

std::vector<SeenMessageBox> messageBoxesSeen() {
    std::lock_guard<std::mutex> guard(watcher.lock);
    return watcher.seen;
}

std::vector<std::string> boxesSeen() {
    std::vector<std::string> seen;
    for (const SeenMessageBox& box : messageBoxesSeen()) seen.push_back(box.caption + "|" + box.text);
    return seen;
}

std::vector<SeenMessageBox> messageBoxesSeenFrom(DWORD processId) {
    std::vector<SeenMessageBox> boxes;
    for (const SeenMessageBox& box : messageBoxesSeen())
        if (box.processId == processId) boxes.push_back(box);
    return boxes;
}

bool waitForMessageBoxes(size_t count, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (messageBoxesSeen().size() >= count) return true;
        if (GetTickCount() - start >= timeoutMs) return false;
        Sleep(10);
    }
}
