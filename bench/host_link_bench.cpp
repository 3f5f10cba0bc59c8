// Timings of the plugin's traffic with the stand-in host:
//   - one command with its status request;
//   - the CPU the plugin's process spends while it waits 5 s for a slow host;
//   - one whole apply (transform, clipboard, both commands with their status
//     requests) next to a bare DDEML client doing the same exchange.
// Medians of several rounds; ratios within one run.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <cstdio>
#include <vector>

#include "bench_support.h"
#include "host_conversation.h"
#include "host_work.h"
#include "palette_exchange.h"
#include "slider_state.h"
#include "test_support.h"

namespace {

LARGE_INTEGER now() {
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return counter;
}

double processCpuMs() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto ms = [](FILETIME t) {
        return double((uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000.0;
    };
    return ms(kernel) + ms(user);
}

// The floor: a bare DDEML client of its own that puts the block on the
// clipboard and runs the two commands, each followed by its status request,
// with nothing else around them: an asynchronous execute waited for on the
// message queue (Wine's DDEML hangs in synchronous executes from a process
// that also holds asynchronous conversations), released under Wine, and a
// synchronous request.
struct BareClient {
    DWORD instance = 0;
    HCONV conversation = nullptr;
    HSZ item = nullptr;
    bool completed = false;
    DWORD completedId = 0;
} bare;

HDDEDATA CALLBACK bareCallback(UINT type, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR data1, ULONG_PTR) {
    if ((type & 0xFFFF) == XTYP_XACT_COMPLETE) {
        bare.completed = true;
        bare.completedId = HIWORD(data1);
    }
    return nullptr;
}

bool connectBareClient() {
    if (DdeInitializeA(&bare.instance, bareCallback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR) return false;
    HSZ service = DdeCreateStringHandleA(bare.instance, "KAVRIN", CP_WINANSI);
    HSZ topic = DdeCreateStringHandleA(bare.instance, "ImageServer", CP_WINANSI);
    bare.item = DdeCreateStringHandleA(bare.instance, "ImageServerItem", CP_WINANSI);
    bare.conversation = DdeConnect(bare.instance, service, topic, nullptr);
    DdeFreeStringHandle(bare.instance, service);
    DdeFreeStringHandle(bare.instance, topic);
    return bare.conversation != nullptr;
}

void disconnectBareClient() {
    DdeDisconnect(bare.conversation);
    DdeFreeStringHandle(bare.instance, bare.item);
    DdeUninitialize(bare.instance);
    bare = BareClient{};
}

bool bareCommandWithStatus(const char* command) {
    bare.completed = false;
    DdeClientTransaction(reinterpret_cast<LPBYTE>(const_cast<char*>(command)), DWORD(strlen(command) + 1),
                         bare.conversation, bare.item, CF_TEXT, XTYP_EXECUTE, TIMEOUT_ASYNC, nullptr);
    const DWORD start = GetTickCount();
    while (!bare.completed && GetTickCount() - start < 10000) {
        MSG message;
        if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        } else {
            MsgWaitForMultipleObjectsEx(0, nullptr, 100, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        }
    }
    if (!bare.completed) return false;
    if (runningUnderWine()) DdeAbandonTransaction(bare.instance, bare.conversation, bare.completedId);
    HDDEDATA status = DdeClientTransaction(nullptr, 0, bare.conversation, bare.item, CF_TEXT,
                                           XTYP_REQUEST, 1000, nullptr);
    if (!status) return false;
    char reply[4] = "";
    DdeGetData(status, reinterpret_cast<LPBYTE>(reply), 2, 0);
    DdeFreeDataHandle(status);
    return reply[0] == 'O' && reply[1] == 'K';
}

bool bareSend(const std::vector<uint8_t>& block) {
    return putClipboardDib(nullptr, block) && bareCommandWithStatus("SELECTCOLORLAYER") &&
           bareCommandWithStatus("RECEIVEPALETTE");
}

bool startPluginAgainst(StandInHost& host, const char* options) {
    hostLink = HostLink{};
    return startStandInHost(host, options) && connectHost();
}

void stopPlugin(StandInHost& host) {
    disconnectHost();
    hostLink = HostLink{};
    stopStandInHost(host);
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(5, atoi(argv[1])) : 60;
    startMessageBoxWatcher();
    StandInHost host;

    // One command with its status request.
    if (!startPluginAgainst(host, "")) return 1;
    std::vector<double> command;
    for (int i = 0; i < rounds; ++i) {
        const LARGE_INTEGER start = now();
        if (!(executeCommand(kSelectColorLayer) && statusIsOk())) return 1;
        command.push_back(millisecondsSince(start));
    }

    // A whole apply next to the bare exchange, alternating, in one run.
    if (!fetchPalette()) return 1;
    balanceSettings.states[0].balance[All][CyanRed] = 0.25f;
    std::vector<uint8_t> block(workingPalette, workingPalette + paletteBytes);
    disconnectHost();
    hostLink = HostLink{};
    if (!connectHost() || !connectBareClient()) return 1;
    std::vector<double> apply, bare;
    for (int i = 0; i < rounds; ++i) {
        LARGE_INTEGER start = now();
        applyBalance(true);
        apply.push_back(millisecondsSince(start));
        start = now();
        if (!bareSend(block)) {
            std::printf("the bare client's exchange failed\n");
            return 1;
        }
        bare.push_back(millisecondsSince(start));
    }
    disconnectBareClient();
    stopPlugin(host);

    // CPU spent during a 5 s wait for a host that holds the command; the
    // watcher thread, which polls for boxes, is stopped first.
    stopMessageBoxWatcher();
    if (!startPluginAgainst(host, "--delay-ms=5000")) return 1;
    const double cpuStart = processCpuMs();
    const LARGE_INTEGER wallStart = now();
    executeCommand(kSelectColorLayer);
    const double waitWall = millisecondsSince(wallStart), waitCpu = processCpuMs() - cpuStart;
    stopPlugin(host);

    std::printf("%-44s %10s\n", "host link (median of rounds)", "value");
    std::printf("%-44s %8.3f ms\n", "command + status request", median(command));
    std::printf("%-44s %8.3f ms\n", "apply (transform, clipboard, 2 x cmd+status)", median(apply));
    std::printf("%-44s %8.3f ms\n", "bare DDEML client, same exchange", median(bare));
    std::printf("%-44s %8.3f\n", "apply / bare floor", median(apply) / median(bare));
    std::printf("%-44s %8.0f ms\n", "wait for a slow host (wall)", waitWall);
    std::printf("%-44s %8.2f %% of a core\n", "CPU during that wait", 100.0 * waitCpu / waitWall);
    return 0;
}
