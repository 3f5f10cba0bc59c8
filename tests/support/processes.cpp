// Windows, processes and the message pump for tests.
#include "test_support.h"

#include "start_process.h"

namespace {

struct WindowSearch {
    const char* prefix;
    DWORD processId;
    HWND found;
};

BOOL CALLBACK matchWindow(HWND window, LPARAM context) {
    WindowSearch& search = *reinterpret_cast<WindowSearch*>(context);
    if (!IsWindowVisible(window)) return TRUE;
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (search.processId && owner != search.processId) return TRUE;
    char title[512] = "";
    GetWindowTextA(window, title, sizeof title);
    if (strncmp(title, search.prefix, strlen(search.prefix)) != 0) return TRUE;
    search.found = window;
    return FALSE;
}

}  // namespace

void pumpMessagesFor(DWORD ms) {
    const DWORD start = GetTickCount();
    do {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    } while (GetTickCount() - start < ms);
}

HWND findTopLevelWindow(const char* title, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        // Found before its initialisation has run, a window is only ready
        // once it is visible.
        HWND window = FindWindowA(nullptr, title);
        if (window && IsWindowVisible(window)) return window;
        if (GetTickCount() - start >= timeoutMs) return nullptr;
        Sleep(20);
    }
}

HWND findTopLevelWindowStarting(const char* prefix, DWORD processId, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        WindowSearch search = {prefix, processId, nullptr};
        EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found) return search.found;
        if (GetTickCount() - start >= timeoutMs) return nullptr;
        Sleep(20);
    }
}

bool launchProcess(const std::string& commandLine, PROCESS_INFORMATION& started) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    std::string line = commandLine;  // CreateProcessA may write into it
    return startProcessRetrying(&line[0], false, startup, started);
}

bool waitForProcessExit(HANDLE process, DWORD timeoutMs, DWORD& exitCode) {
    if (WaitForSingleObject(process, timeoutMs) != WAIT_OBJECT_0) return false;
    return GetExitCodeProcess(process, &exitCode) != 0;
}

bool runProcess(const std::string& commandLine, DWORD timeoutMs, DWORD& exitCode,
                std::string& output) {
    output.clear();
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return false;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION started = {};
    std::string line = commandLine;
    const bool launched = startProcessRetrying(&line[0], true, startup, started);
    CloseHandle(writeEnd);  // the pipe ends when the child's copy closes
    bool ended = false;
    if (launched) {
        const DWORD start = GetTickCount();
        char buffer[4096];
        for (;;) {
            DWORD waiting = 0, read = 0;
            while (PeekNamedPipe(readEnd, nullptr, 0, nullptr, &waiting, nullptr) && waiting &&
                   ReadFile(readEnd, buffer, sizeof buffer, &read, nullptr) && read)
                output.append(buffer, read);
            if (ended) break;
            ended = WaitForSingleObject(started.hProcess, 10) == WAIT_OBJECT_0;
            if (!ended && GetTickCount() - start >= timeoutMs) break;
        }
        if (ended) GetExitCodeProcess(started.hProcess, &exitCode);
        else {
            TerminateProcess(started.hProcess, 1);
            WaitForSingleObject(started.hProcess, 5000);
        }
        CloseHandle(started.hProcess);
        CloseHandle(started.hThread);
    }
    CloseHandle(readEnd);
    return ended;
}
