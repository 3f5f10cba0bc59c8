// The one place where work for the host that was asked for during another
// exchange runs: an exchange's wait pumps the thread's messages, so clicks,
// commands and slider rounds arrive while the host is busy. Started there,
// they would nest a second exchange inside the first; they are owed instead
// and run here once the first has ended.
#include "apply_balance.h"
#include "host_conversation.h"
#include "palette_exchange.h"
#include "plugin_window.h"
#include "slider_state.h"

OwedHostWork owedHostWork = {};

// The host hears the reset palette twice: resetAll refreshes once itself.
static void fetchAndApply(FetchOwed kind) {
    fetchPalette();  // a failure has shown its own message; the apply follows anyway
    if (kind == FetchAndReset) resetAll();
    applyBalance(true);
}

void getNewPalette(FetchOwed kind) {
    if (applyMustWait()) {
        if (kind > owedHostWork.fetch) owedHostWork.fetch = kind;
        return;
    }
    fetchAndApply(kind);
}

// Each pass starts one piece of work with the host free, so no exchange
// nests. Applies clear applyOwed as they read the settings, and a failed one
// owes nothing new of its own, so a failing host ends the loop.
void runOwedHostWork() {
    while (!applyMustWait() && !quitMessageHeld()) {
        if (owedHostWork.fetch != NoFetchOwed) {
            const FetchOwed kind = owedHostWork.fetch;
            owedHostWork.fetch = NoFetchOwed;
            fetchAndApply(kind);
        } else if (applyOwed != NoApplyOwed) {
            // Movements apply unforced, clicks and commands forced; with the
            // host free both run.
            applyBalance(applyOwed == CommandApplyOwed);
        } else {
            return;
        }
    }
}

bool hostWorkOwed() { return owedHostWork.fetch != NoFetchOwed || applyOwed != NoApplyOwed; }

bool hostWorkPending() { return applyMustWait() || owedHostWork.requestPosted || hostWorkOwed(); }

void requestOwedHostWork(HWND window) {
    if (owedHostWork.requestPosted) return;
    owedHostWork.requestPosted = PostMessageA(window, kRunOwedHostWorkMessage, 0, 0) != 0;
}

void forgetOwedHostWork() {
    owedHostWork.fetch = NoFetchOwed;
    applyOwed = NoApplyOwed;
}
