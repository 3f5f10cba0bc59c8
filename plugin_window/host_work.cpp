#include "host_work.h"

#include <cstring>

#include "host_conversation.h"
#include "palette_exchange.h"
#include "palette_transform.h"
#include "plugin_window.h"

HostWork hostWork = {};

bool hostWorkMustWait() {
    return hostWork.transformBusy || hostExchangeRunning() || hostWork.modalLoops > 0 || programEnding();
}

bool hostWorkOutstanding() {
    return hostWork.transformBusy || hostExchangeRunning() || hostWork.requestPosted || hostWork.fetchOwed ||
           hostWork.applyOwed != NoApplyOwed;
}

static void oweApply(OwedApply kind) {
    if (kind > hostWork.applyOwed) hostWork.applyOwed = kind;
}

void oweMovementApply() { oweApply(MovementApplyOwed); }

// The settings that an apply would send now.
static SentSettings settingsToSend() {
    SentSettings settings = {};
    settings.tried = true;
    settings.state = currentSliderState();
    settings.preserveBrightness = balanceSettings.preserveBrightness;
    settings.paletteGeneration = paletteGeneration;
    return settings;
}

// Compared bit for bit: equal settings give the same palette.
static bool sameAsLastTried(const SentSettings& settings) {
    const SentSettings& last = hostWork.lastSent;
    return last.tried && last.paletteGeneration == settings.paletteGeneration &&
           last.preserveBrightness == settings.preserveBrightness &&
           std::memcmp(&last.state, &settings.state, sizeof settings.state) == 0;
}

// Runs one apply with nothing holding the host. It sends the settings as they
// are now, so every apply owed so far is done by it; movements made during
// its wait owe a new one. A failed send owes nothing of its own, so a
// failing host is tried once per change.
static void runApply(bool force) {
    hostWork.applyOwed = NoApplyOwed;
    const SentSettings settings = settingsToSend();
    if (!force && sameAsLastTried(settings)) return;
    hostWork.transformBusy = true;
    if (sourcePalette && workingPalette)
        rebalancePalette(sourcePalette, workingPalette, paletteBytes, settings.state, settings.preserveBrightness);
    hostWork.lastSent = settings;
    sendPalette();  // a failure has shown its own message
    hostWork.transformBusy = false;
}

void applyBalance(bool force) {
    // An apply never overtakes a fetch owed before it.
    if (hostWorkMustWait() || hostWork.fetchOwed) {
        oweApply(force ? CommandApplyOwed : MovementApplyOwed);
        return;
    }
    runApply(force);
}

// The fetch owes the forced apply that follows it, so that the host gets the
// new palette rebalanced even when the fetch failed (it then keeps the
// previous copies).
static void oweFetch() {
    hostWork.fetchOwed = true;
    oweApply(CommandApplyOwed);
}

void getNewPaletteKeepingState() {
    oweFetch();
    runOwedHostWork();
}

// The reset needs no host, so it shows at once; its own forced apply finds
// the fetch owed ahead of it and waits behind it. A change made before the
// fetch runs is kept and sent by that apply.
void getNewPaletteAndReset() {
    oweFetch();
    resetAll();
    runOwedHostWork();
}

// Each pass starts one piece of work with nothing holding the host, so no
// exchange nests. A failing host ends the loop: a failed apply owes nothing.
void runOwedHostWork() {
    while (!hostWorkMustWait()) {
        if (hostWork.fetchOwed) {
            hostWork.fetchOwed = false;
            fetchPalette();  // a failure has shown its own message; the owed apply follows anyway
        } else if (hostWork.applyOwed != NoApplyOwed) {
            runApply(hostWork.applyOwed == CommandApplyOwed);
        } else {
            return;
        }
    }
}

void requestOwedHostWork(HWND window) {
    if (hostWork.requestPosted) return;
    hostWork.requestPosted = PostMessageA(window, kRunOwedHostWorkMessage, 0, 0) != 0;
}

void beginModalLoop() { ++hostWork.modalLoops; }

void endModalLoop(HWND window) {
    if (--hostWork.modalLoops > 0) return;
    if (hostWork.fetchOwed || hostWork.applyOwed != NoApplyOwed) requestOwedHostWork(window);
}

void endHostWork() {
    beginProgramEnd();
    hostWork.fetchOwed = false;
    hostWork.applyOwed = NoApplyOwed;
}
