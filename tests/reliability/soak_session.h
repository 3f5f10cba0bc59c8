// Many applies in a row: the plugin program against the stand-in host, each
// apply started from the test and counted in the host's log.
#pragma once

#include <cstddef>

#include "plugin_process.h"
#include "process_footprint.h"
#include "test_support.h"

// "Attempt Brightness Preservation", the menu command that flips the switch
// and runs one forced apply.
constexpr int kBrightnessCommand = 32807;

// Runs `count` applies, each sent and waited for so that it has ended before
// the next starts: alternately the brightness command (a forced apply) and a
// CyanRed movement (an unforced apply that also rewrites the info line),
// moving between two neighbouring positions. Every apply sends one palette.
// False when the plugin stops answering.
bool runApplies(const PluginRun& run, int count);

// The palettes the host has received so far ("RECEIVED" lines of its log).
size_t palettesReceived(const StandInHost& host);

// Waits until the host has received `count` palettes; false on time-out.
bool waitForPalettesReceived(const StandInHost& host, size_t count, DWORD timeoutMs);

// The plugin's footprint; false when it cannot be read.
bool pluginFootprint(const PluginRun& run, ProcessFootprint& footprint);
