#include "wine_dde_versions.h"

#include <windows.h>

#include <cctype>

namespace {

struct CheckedWineReleases {
    WineVersion first;
    WineVersion last;  // both ends included
};

// The Wine releases whose sources the frees were read against and run under.
// A release joins this table once its sources have been read and the
// movable-handle test in tests/host_link passes under it; maintenance
// releases and the development series between may change what DDEML frees.
// - 8.0, as Debian 12 ships it (8.0~repack-4): dlls/user32/dde_client.c
//   (WDML_HandleRequestReply), dde_server.c (WDML_ServerHandleExecute,
//   WDML_ServerHandleRequest), dde_misc.c (WDML_DataHandle2Global,
//   WDML_MakeHszFromAtom), message.c (post_dde_message, unpack_dde_message)
//   and dlls/kernelbase/memory.c (LocalAlloc, LocalFree: a freed movable
//   handle is the next one handed out).
// - 10.0, as Debian 13 ships it (10.0~repack-6): the same files.
//   dde_client.c and dde_server.c are unchanged from 8.0; dde_misc.c changes
//   only how WDML_RemoveConv clears a record it frees; post_dde_message hands
//   its server call to win32u (post_dde_message_call) but, as in 8.0, frees
//   only the packed lParam once the post succeeds, never the WM_DDE_DATA
//   block; unpack_dde_message and the movable-handle code are unchanged.
const CheckedWineReleases kCheckedReleases[] = {
    // first        last
    {{8, 0, 0}, {8, 0, 0}},
    {{10, 0, 0}, {10, 0, 0}},
};

// The release readWineDdeGate takes instead of wine_get_version's; tests
// set it through pretendWineRelease, the probed plugin from a static
// initialiser, so it is plain data, set before any constructor runs.
char pretendedRelease[32];
bool pretending = false;

int compareVersions(const WineVersion& a, const WineVersion& b) {
    if (a.major != b.major) return a.major < b.major ? -1 : 1;
    if (a.minor != b.minor) return a.minor < b.minor ? -1 : 1;
    if (a.patch != b.patch) return a.patch < b.patch ? -1 : 1;
    return 0;
}

// Reads one number of at most 4 digits at `text`; false when there is none.
bool readNumber(const char*& text, int& number) {
    int digits = 0;
    number = 0;
    while (std::isdigit(static_cast<unsigned char>(*text)) && digits < 4) {
        number = number * 10 + (*text - '0');
        ++text;
        ++digits;
    }
    return digits > 0 && !std::isdigit(static_cast<unsigned char>(*text));
}

}  // namespace

bool parseWineVersion(const char* text, WineVersion& version) {
    version = WineVersion{};
    if (!text || !readNumber(text, version.major) || *text++ != '.' || !readNumber(text, version.minor))
        return false;
    if (*text == '.' && !readNumber(++text, version.patch)) return false;
    return *text == '\0';
}

bool wineDdeFreesChecked(const char* text) {
    WineVersion version;
    if (!parseWineVersion(text, version)) return false;
    for (const CheckedWineReleases& releases : kCheckedReleases)
        if (compareVersions(version, releases.first) >= 0 && compareVersions(version, releases.last) <= 0)
            return true;
    return false;
}

// "8.0", or "8.0.2" when there is a patch number.
static std::string versionText(const WineVersion& version) {
    std::string text = std::to_string(version.major) + "." + std::to_string(version.minor);
    if (version.patch) text += "." + std::to_string(version.patch);
    return text;
}

std::string wineDdeCheckedReleases() {
    std::string text;
    for (const CheckedWineReleases& releases : kCheckedReleases) {
        if (!text.empty()) text += ", ";
        text += versionText(releases.first);
        if (compareVersions(releases.first, releases.last) != 0) text += " to " + versionText(releases.last);
    }
    return text;
}

WineDdeGate readWineDdeGate() {
    WineDdeGate gate;
    using WineGetVersion = const char*(CDECL*)();
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    const auto wineGetVersion =
        ntdll ? reinterpret_cast<WineGetVersion>(reinterpret_cast<void*>(GetProcAddress(ntdll, "wine_get_version")))
              : nullptr;
    if (!wineGetVersion) return gate;
    gate.underWine = true;
    const char* version = pretending ? pretendedRelease : wineGetVersion();
    gate.version = version ? version : "";
    gate.freesChecked = wineDdeFreesChecked(version);
    return gate;
}

void pretendWineRelease(const char* version) {
    pretending = version != nullptr;
    lstrcpynA(pretendedRelease, version ? version : "", sizeof pretendedRelease);
}

std::string wineDdeFreesOffLine(const WineDdeGate& gate, const char* whose) {
    return "Wine " + (gate.version.empty() ? std::string("(no version)") : gate.version) + ": " + whose +
           " frees of what Wine's DDE leaves behind are off; they were checked against Wine " +
           wineDdeCheckedReleases() + " only";
}
