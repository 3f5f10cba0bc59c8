// Many applies in a row: the plugin program against the stand-in host, each
// apply started from the test and counted in the host's log.
#pragma once

#include <cstddef>

#include "plugin_process.h"
#include "process_footprint.h"
#include "test_support.h"

// "Attempt Brightness Preservation", the menu command that flips the switch
// and runs one forced apply.
constexpr int kBrightnessCommand = IDM_BRIGHTNESS_PRESERVATION;

// Runs apply number `index` of a series and waits until it has ended: even
// numbers give the brightness command (a forced apply), odd ones move CyanRed
// (an unforced apply that also rewrites the info line) between two
// neighbouring positions. Every apply sends one palette. False when the
// plugin does not answer.
bool runApply(const PluginRun& run, int index);
// Runs applies 0 to `count` - 1 of the series; false when the plugin stops
// answering.
bool runApplies(const PluginRun& run, int count);

// The palettes the host has received so far ("RECEIVED" lines of its log).
size_t palettesReceived(const StandInHost& host);

// Waits until the host has received `count` palettes; false on time-out.
bool waitForPalettesReceived(const StandInHost& host, size_t count, DWORD timeoutMs);

// The plugin's footprint; false when it cannot be read.
bool pluginFootprint(const PluginRun& run, ProcessFootprint& footprint);
