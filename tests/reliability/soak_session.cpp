#include "soak_session.h"

bool runApplies(const PluginRun& run, int count) {
    for (int i = 0; i < count; ++i) {
        const bool answered = i % 2 == 0 ? runCommand(run, kBrightnessCommand)
                                         : moveTrackbar(run, run.controls.balanceTrackbars[0], 300 + (i / 2) % 2);
        if (!answered) return false;
    }
    return true;
}

size_t palettesReceived(const StandInHost& host) { return hostLogLinesStarting(host, "RECEIVED ").size(); }

bool waitForPalettesReceived(const StandInHost& host, size_t count, DWORD timeoutMs) {
    return waitUntil([&] { return palettesReceived(host) >= count; }, timeoutMs);
}

bool pluginFootprint(const PluginRun& run, ProcessFootprint& footprint) {
    return readProcessFootprint(run.process.hProcess, run.process.dwProcessId, footprint);
}
