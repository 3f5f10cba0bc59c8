// What a running program holds, counted from another process: its private
// memory, its GDI objects, its windows and, under Wine, its movable memory
// handles. Under Wine some of the usual counters read 0; each figure says
// where it came from.
#pragma once

#include <windows.h>

#include <cstdint>

struct ProcessFootprint {
    uint64_t privateBytes = 0;
    const char* privateBytesSource = "none";  // "PrivateUsage" or "PagefileUsage"
    long gdiObjects = -1;                     // -1 when they cannot be counted
    const char* gdiObjectsSource = "none";    // "GetGuiResources" or "GDI handle table"
    long userObjects = -1;
    const char* userObjectsSource = "none";   // "GetGuiResources" or "windows"
    long movableHandles = -1;                 // -1 when they cannot be counted
};

// Reads the footprint of `process` (a handle with query and read access,
// such as CreateProcess returns). False when not even the memory counters
// could be read.
bool readProcessFootprint(HANDLE process, DWORD processId, ProcessFootprint& footprint);

// The movable memory blocks (GlobalAlloc with GMEM_MOVEABLE) that `process`
// holds, counted in Wine's table of their handles, which has room for 65,536.
// -1 outside Wine or when the table cannot be read.
long countMovableHandles(HANDLE process);

// The windows that belong to process `processId`: top-level, message-only and
// all their descendants.
long countProcessWindows(DWORD processId);

// Stops every thread of process `processId` / lets them run again. A stopped
// program answers nothing, as a host stuck in a long task would. False when a
// thread could not be reached.
bool suspendProcessThreads(DWORD processId);
bool resumeProcessThreads(DWORD processId);
