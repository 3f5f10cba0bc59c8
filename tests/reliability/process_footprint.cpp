#include "process_footprint.h"

#include <psapi.h>
#include <tlhelp32.h>

#include <vector>

#include "test_support.h"

namespace {

// ---- Memory ----------------------------------------------------------------

// Private bytes are PrivateUsage. Wine 8 leaves that counter at 0 but fills
// PagefileUsage from the process's anonymous memory; on Windows the two
// counters are the same commit charge.
bool readPrivateBytes(HANDLE process, ProcessFootprint& footprint) {
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters))
        return false;
    if (counters.PrivateUsage) {
        footprint.privateBytes = counters.PrivateUsage;
        footprint.privateBytesSource = "PrivateUsage";
    } else {
        footprint.privateBytes = counters.PagefileUsage;
        footprint.privateBytesSource = "PagefileUsage";
    }
    return true;
}

// ---- GDI objects -----------------------------------------------------------

// One entry of the GDI handle table that the process environment block points
// to (GdiSharedHandleTable); the same 24-byte layout on 64-bit Windows and in
// Wine.
struct GdiHandleEntry {
    uint64_t object;
    uint32_t owner;        // low 16 bits: the owning process id
    uint8_t extendedType;  // bit 7: a stock object
    uint8_t generation;
    uint8_t type;          // 0 for a free entry
    uint8_t flags;
    uint64_t userPointer;
};
static_assert(sizeof(GdiHandleEntry) == 24, "GDI handle table entries are 24 bytes");

constexpr size_t kGdiHandleCount = 0x10000;
constexpr size_t kPebGdiTableOffset = 0xF8;  // GdiSharedHandleTable in the 64-bit PEB

struct BasicProcessInformation {
    LONG exitStatus;
    void* pebAddress;
    ULONG_PTR affinityMask;
    LONG basePriority;
    ULONG_PTR processId;
    ULONG_PTR parentProcessId;
};

using QueryProcessFunction = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);

// Counts the objects of process `processId` in its GDI handle table, stock
// objects left out. Wine keeps one table per process, Windows one for the
// session; the owner field tells the processes apart. -1 when the table cannot
// be read.
long countGdiTableObjects(HANDLE process, DWORD processId) {
    auto query = reinterpret_cast<QueryProcessFunction>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
    BasicProcessInformation basic = {};
    if (!query || query(process, 0 /* ProcessBasicInformation */, &basic, sizeof basic, nullptr) != 0) return -1;
    uint64_t tableAddress = 0;
    SIZE_T read = 0;
    if (!ReadProcessMemory(process, static_cast<char*>(basic.pebAddress) + kPebGdiTableOffset, &tableAddress,
                           sizeof tableAddress, &read) ||
        !tableAddress)
        return -1;
    std::vector<GdiHandleEntry> table(kGdiHandleCount);
    if (!ReadProcessMemory(process, reinterpret_cast<void*>(tableAddress), table.data(),
                           table.size() * sizeof table[0], &read))
        return -1;
    long count = 0;
    for (size_t i = 0; i < read / sizeof table[0]; ++i) {
        const GdiHandleEntry& entry = table[i];
        if (!entry.type || (entry.extendedType & 0x80)) continue;
        const uint32_t owner = entry.owner & 0xFFFF;
        if (owner && owner != (processId & 0xFFFF)) continue;
        ++count;
    }
    return count;
}

// ---- Windows ---------------------------------------------------------------

struct WindowCount {
    DWORD processId;
    long count;
};

BOOL CALLBACK countChild(HWND, LPARAM context) {
    ++reinterpret_cast<WindowCount*>(context)->count;
    return TRUE;
}

// Counts `window` and all its descendants when process `count.processId`
// owns it.
void countWindowTree(HWND window, WindowCount& count) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != count.processId) return;
    ++count.count;
    EnumChildWindows(window, countChild, reinterpret_cast<LPARAM>(&count));
}

BOOL CALLBACK countTopLevel(HWND window, LPARAM context) {
    countWindowTree(window, *reinterpret_cast<WindowCount*>(context));
    return TRUE;
}

// ---- Movable memory handles (Wine) ----------------------------------------

// Wine's kernelbase keeps a process's movable blocks in one table of 65,536
// entries of two pointers each, and KernelBaseGetGlobalData gives the address
// of the record that holds the table's bounds. An entry in use has bit 0 of
// its first word set (its flags); a free one holds a link to the next free
// entry (an aligned pointer) or nothing. kernelbase lies at the same address
// in every process, so the record's address here is its address there too;
// the bounds read from it are checked against the table's size.
struct WineMovableTableBounds {
    uint64_t first;
    uint64_t end;
};
struct WineMovableEntry {
    uint64_t flagsOrNextFree;
    uint64_t block;
};
constexpr size_t kWineMovableEntries = 0x10000;

using GlobalDataFunction = void*(WINAPI*)();

// ---- Threads ---------------------------------------------------------------

// Runs `step` on every thread of process `processId`; false when there was
// none or one could not be opened.
template <typename Step>
bool forEachThread(DWORD processId, Step step) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return false;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    bool any = false, all = true;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != processId) continue;
        HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, entry.th32ThreadID);
        if (!thread) {
            all = false;
            continue;
        }
        any = true;
        if (step(thread) == DWORD(-1)) all = false;
        CloseHandle(thread);
    }
    CloseHandle(snapshot);
    return any && all;
}

}  // namespace

long countMovableHandles(HANDLE process) {
    if (!runningUnderWine()) return -1;
    auto globalData = reinterpret_cast<GlobalDataFunction>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernelbase.dll"), "KernelBaseGetGlobalData")));
    WineMovableTableBounds bounds = {};
    SIZE_T read = 0;
    if (!globalData || !ReadProcessMemory(process, globalData(), &bounds, sizeof bounds, &read) ||
        read != sizeof bounds || !bounds.first ||
        bounds.end - bounds.first != kWineMovableEntries * sizeof(WineMovableEntry))
        return -1;
    std::vector<WineMovableEntry> table(kWineMovableEntries);
    if (!ReadProcessMemory(process, reinterpret_cast<void*>(bounds.first), table.data(),
                           table.size() * sizeof table[0], &read) ||
        read != table.size() * sizeof table[0])
        return -1;
    long count = 0;
    for (const WineMovableEntry& entry : table)
        if (entry.flagsOrNextFree & 1) ++count;
    return count;
}

long countProcessWindows(DWORD processId) {
    WindowCount count = {processId, 0};
    EnumWindows(countTopLevel, reinterpret_cast<LPARAM>(&count));
    // Message-only windows (DDE conversations, for instance) are not top-level.
    for (HWND window = nullptr; (window = FindWindowExA(HWND_MESSAGE, window, nullptr, nullptr));)
        countWindowTree(window, count);
    return count.count;
}

bool readProcessFootprint(HANDLE process, DWORD processId, ProcessFootprint& footprint) {
    footprint = ProcessFootprint();
    // The tables are read before the memory: under Wine the first read of a
    // table makes its untouched pages resident in `process` (1.5 MB of GDI
    // table, 1 MB of movable handles), and its private bytes count them.
    // Wine 8's GetGuiResources answers 0 for every process.
    const DWORD gdi = GetGuiResources(process, GR_GDIOBJECTS);
    if (gdi) {
        footprint.gdiObjects = long(gdi);
        footprint.gdiObjectsSource = "GetGuiResources";
    } else if ((footprint.gdiObjects = countGdiTableObjects(process, processId)) >= 0) {
        footprint.gdiObjectsSource = "GDI handle table";
    }
    const DWORD user = GetGuiResources(process, GR_USEROBJECTS);
    if (user) {
        footprint.userObjects = long(user);
        footprint.userObjectsSource = "GetGuiResources";
    } else {
        footprint.userObjects = countProcessWindows(processId);
        footprint.userObjectsSource = "windows";
    }
    footprint.movableHandles = countMovableHandles(process);
    return readPrivateBytes(process, footprint);
}

bool suspendProcessThreads(DWORD processId) {
    return forEachThread(processId, [](HANDLE thread) { return SuspendThread(thread); });
}

bool resumeProcessThreads(DWORD processId) {
    return forEachThread(processId, [](HANDLE thread) { return ResumeThread(thread); });
}
