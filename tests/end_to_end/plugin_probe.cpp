// Linked only into the probed build of the plugin program. Before WinMain
// runs, a static initialiser starts a thread with a message-only window that
// answers kProbeReadMessage from the process's own records and, once a test
// first reads the queue mark, hooks the GUI thread's message retrieval to
// note the marks. The GUI thread keeps running alone as before; the probe
// only reads, and tests read while the GUI thread is idle or waiting for the
// host.
#include "plugin_probe.h"

#include "host_work.h"
#include "plugin_window.h"
#include "resource_ids.h"
#include "slider_state.h"
#include "wine_dde_compat.h"
#include "wine_dde_versions.h"

namespace {

// The last queue mark that the GUI thread took, times 2, plus 1 when no apply
// ran and no work for the host was pending as it took it. Written by the GUI
// thread's message hook, read by the probe thread.
volatile LONG queueMarkTaken = 0;

// Runs on the GUI thread for each message it takes from its queue, in every
// loop: the main one, an exchange's wait and a modal box's.
LRESULT CALLBACK noteQueueMark(int code, WPARAM removal, LPARAM lParam) {
    const MSG* message = reinterpret_cast<const MSG*>(lParam);
    if (code == HC_ACTION && removal == PM_REMOVE && message->message == kProbeQueueMarkMessage) {
        const bool idle = !hostWorkOutstanding();
        InterlockedExchange(&queueMarkTaken, LONG(message->wParam) * 2 + (idle ? 1 : 0));
    }
    return CallNextHookEx(nullptr, code, removal, lParam);
}

DWORD guiThreadId = 0;
bool queueMarksWatched = false;  // touched by the probe thread only

// Hooks the GUI thread's message retrieval at the first read of the queue
// mark, not at start: under Wine the hook adds tens of microseconds to every
// message taken, which slowed the drag benchmark's posted burst of 200
// notifications by about a tenth.
bool watchQueueMarks() {
    if (!queueMarksWatched)
        queueMarksWatched = SetWindowsHookExA(WH_GETMESSAGE, noteQueueMark, nullptr, guiThreadId) != nullptr;
    return queueMarksWatched;
}

LRESULT readFloat(float value) { return LRESULT(floatBits(value)); }

LRESULT readStateField(unsigned item) {
    const unsigned offset = item - kProbeStateBase;
    const unsigned state = offset / kProbeStateStride;
    const unsigned field = offset % kProbeStateStride;
    if (state >= unsigned(kSliderStateCount)) return kProbeNoSuchItem;
    const SliderState& slider = balanceSettings.states[state];
    if (field < unsigned(kToneRangeCount * kBalanceAxisCount))
        return readFloat(slider.balance[field / kBalanceAxisCount][field % kBalanceAxisCount]);
    if (field == kProbeLowsBelowField) return readFloat(slider.lowsBelow);
    if (field == kProbeHeightsAboveField) return readFloat(slider.heightsAbove);
    return kProbeNoSuchItem;
}

// The menu belongs to this process, so it can be asked from this thread;
// another process gets no answer from Wine.
LRESULT readMenuCheck() {
    HMENU menu = pluginWindow.mainWindow ? GetMenu(pluginWindow.mainWindow) : nullptr;
    if (!menu) return kProbeNoSuchItem;
    const UINT state = GetMenuState(menu, IDM_BRIGHTNESS_PRESERVATION, MF_BYCOMMAND);
    if (state == UINT(-1)) return kProbeNoSuchItem;
    return (state & MF_CHECKED) ? 1 : 0;
}

LRESULT readItem(unsigned item) {
    switch (item) {
    case kProbeCurrentState: return balanceSettings.currentState;
    case kProbeCurrentRange: return balanceSettings.currentRange;
    case kProbePreserveBrightness: return balanceSettings.preserveBrightness ? 1 : 0;
    case kProbeTransformBusy: return hostWork.transformBusy ? 1 : 0;
    case kProbeMenuCheck: return readMenuCheck();
    case kProbeHostWorkPending: return hostWorkOutstanding() ? 1 : 0;
    case kProbeWineDdeSteps:
        return (wineDdeQueueStepsActive() ? kProbeQueueStepBit : 0) | (wineDdeFreesActive() ? kProbeFreesBit : 0);
    case kProbeQueueMark:
        return watchQueueMarks() ? InterlockedCompareExchange(&queueMarkTaken, 0, 0) : kProbeNoSuchItem;
    default: return item >= kProbeStateBase ? readStateField(item) : kProbeNoSuchItem;
    }
}

LRESULT CALLBACK probeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kProbeReadMessage) return readItem(unsigned(wParam));
    return DefWindowProcA(window, message, wParam, lParam);
}

DWORD WINAPI runProbe(void*) {
    WNDCLASSEXA probeClass = {};
    probeClass.cbSize = sizeof probeClass;
    probeClass.lpfnWndProc = probeWindowProc;
    probeClass.hInstance = GetModuleHandleA(nullptr);
    probeClass.lpszClassName = kProbeWindowClass;
    if (!RegisterClassExA(&probeClass)) return 1;
    if (!CreateWindowExA(0, kProbeWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                         probeClass.hInstance, nullptr))
        return 1;
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
    return 0;
}

// Static initialisers run on the thread that then runs WinMain, the GUI
// thread, whose messages the queue-mark hook watches.
bool startProbe() {
    guiThreadId = GetCurrentThreadId();
    static char release[32];
    const DWORD length = GetEnvironmentVariableA(kProbeWineReleaseVariable, release, sizeof release);
    if (length > 0 && length < sizeof release) pretendWineRelease(release);
    HANDLE thread = CreateThread(nullptr, 0, runProbe, nullptr, 0, nullptr);
    if (!thread) return false;
    CloseHandle(thread);
    return true;
}

[[maybe_unused]] const bool probeStarted = startProbe();

}  // namespace
