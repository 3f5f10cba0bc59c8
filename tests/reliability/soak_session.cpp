#include "soak_session.h"

bool runApply(const PluginRun& run, int index) {
    return index % 2 == 0 ? runCommand(run, kBrightnessCommand)
                          : moveTrackbar(run, run.controls.balanceTrackbars[0], 300 + (index / 2) % 2);
}

bool runApplies(const PluginRun& run, int count) {
    for (int i = 0; i < count; ++i)
        if (!runApply(run, i)) return false;
    return true;
}

size_t palettesReceived(const StandInHost& host) { return hostLogLinesStarting(host, "RECEIVED ").size(); }

bool waitForPalettesReceived(const StandInHost& host, size_t count, DWORD timeoutMs) {
    return waitUntil([&] { return palettesReceived(host) >= count; }, timeoutMs);
}

bool pluginFootprint(const PluginRun& run, ProcessFootprint& footprint) {
    return readProcessFootprint(run.process.hProcess, run.process.dwProcessId, footprint);
}
