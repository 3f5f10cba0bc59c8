// The stand-in host as a child process of the test: started with a log file
// of its own and waited for until it answers on DDE, stopped by closing its
// window.
#include "test_support.h"

#include <cstdio>

#ifndef STAND_IN_HOST_UNIX_PATH
#error "STAND_IN_HOST_UNIX_PATH must name the StandInKavrin.exe of this build"
#endif

std::string standInHostPath() {
    // Wine maps the Unix root to drive Z:.
    std::string path = std::string("Z:") + STAND_IN_HOST_UNIX_PATH;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

// True when some server answers on KAVRIN / "ImageServer" right now.
static bool hostServiceAnswers() {
    DWORD instance = 0;
    if (DdeInitializeA(&instance, [](UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR)
                                      -> HDDEDATA { return nullptr; },
                       APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR)
        return false;
    HSZ service = DdeCreateStringHandleA(instance, "KAVRIN", CP_WINANSI);
    HSZ topic = DdeCreateStringHandleA(instance, "ImageServer", CP_WINANSI);
    HCONV conversation = DdeConnect(instance, service, topic, nullptr);
    if (conversation) DdeDisconnect(conversation);
    DdeFreeStringHandle(instance, service);
    DdeFreeStringHandle(instance, topic);
    DdeUninitialize(instance);
    return conversation != nullptr;
}

// A fresh log path in the temp folder, unique within this process.
static std::string newLogPath() {
    static int started = 0;
    char folder[MAX_PATH] = "";
    GetTempPathA(sizeof folder, folder);
    char path[MAX_PATH + 64];
    snprintf(path, sizeof path, "%sstand-in-host-%lu-%d.log", folder, GetCurrentProcessId(),
             ++started);
    return path;
}

// The host's exit code when its window or DDE service could not be made.
// Under Wine on a busy machine that has been seen once in a whole test run,
// with the same host starting normally a moment later.
static const DWORD kHostExitNoWindowOrService = 5;

enum class HostStart { Ready, Failed, FailedTryAgain };

static HostStart startHostOnce(StandInHost& host, const char* options) {
    host.logPath = newLogPath();
    DeleteFileA(host.logPath.c_str());
    const std::string program = host.program.empty() ? standInHostPath() : host.program;
    const std::string commandLine = "\"" + program + "\" \"--log=" + host.logPath + "\" " +
                                    (options ? options : "");
    PROCESS_INFORMATION started = {};
    if (!launchProcess(commandLine, started)) {
        fprintf(stderr, "startStandInHost: cannot start %s (error %lu)\n", commandLine.c_str(),
                GetLastError());
        return HostStart::Failed;
    }
    CloseHandle(started.hThread);
    host.process = started.hProcess;
    host.processId = started.dwProcessId;

    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 10000) {
        DWORD exitCode = 0;
        if (waitForProcessExit(host.process, 0, exitCode)) {
            fprintf(stderr, "startStandInHost: the host exited with code %lu at start\n", exitCode);
            for (const std::string& line : hostLogLinesStarting(host, "FAILED"))
                fprintf(stderr, "startStandInHost: host log: %s\n", line.c_str());
            stopStandInHost(host);
            return exitCode == kHostExitNoWindowOrService ? HostStart::FailedTryAgain
                                                          : HostStart::Failed;
        }
        if (waitForHostLogLine(host, "READY", 50) && hostServiceAnswers()) return HostStart::Ready;
    }
    fprintf(stderr, "startStandInHost: the host did not answer on DDE (options: %s)\n",
            options ? options : "");
    stopStandInHost(host);
    return HostStart::Failed;
}

bool startStandInHost(StandInHost& host, const char* options) {
    stopStandInHost(host);
    // A host left over from an earlier test would answer in place of ours.
    for (int wait = 0; hostServiceAnswers(); ++wait) {
        if (wait == 40) {
            fprintf(stderr, "startStandInHost: another KAVRIN server is still running\n");
            return false;
        }
        Sleep(50);
    }
    for (int attempt = 1;; ++attempt) {
        const HostStart result = startHostOnce(host, options);
        if (result == HostStart::Ready) return true;
        if (result == HostStart::Failed || attempt == 3) return false;
        fprintf(stderr, "startStandInHost: starting the host again\n");
        Sleep(500);
    }
}

HWND standInHostWindow(const StandInHost& host) {
    if (!host.processId) return nullptr;
    return findTopLevelWindowStarting("Kavrin (stand-in)", host.processId, 0);
}

bool waitForHostExit(const StandInHost& host, DWORD timeoutMs, DWORD& exitCode) {
    return host.process && waitForProcessExit(host.process, timeoutMs, exitCode);
}

void stopStandInHost(StandInHost& host) {
    if (!host.process) return;
    DWORD exitCode = 0;
    HWND window = standInHostWindow(host);
    if (window) PostMessageA(window, WM_CLOSE, 0, 0);
    if (!waitForProcessExit(host.process, window ? 5000 : 0, exitCode)) {
        TerminateProcess(host.process, 1);
        WaitForSingleObject(host.process, 5000);
    }
    CloseHandle(host.process);
    host.process = nullptr;
    host.processId = 0;
}
