// Whether the Wine-only steps of a DDE conversation apply in this process:
// the plugin's (wine_dde_compat) and the stand-in host's
// (host_wine_dde_compat) both free what Wine's DDEML leaves behind, which is
// right only in the Wine versions whose DDEML they were checked against. A
// later Wine that frees one of those blocks itself would meet a double free,
// so the steps stay off in any version not in the one table here, and on
// Windows.
#pragma once

#include <string>

struct WineVersion {
    int major = 0;
    int minor = 0;
    int patch = 0;  // 0 when the text has none ("8.0")
};

// Reads a version as wine_get_version gives it: "8.0", "8.0.2", "9.12".
// False for anything else, a release candidate ("8.0-rc3") included.
bool parseWineVersion(const char* text, WineVersion& version);

// True when `text` names a release that the Wine steps were checked against.
bool wineDdeStepsChecked(const char* text);

// The checked releases as words ("8.0", "8.0 to 8.0.2"), for the line that
// says the steps are off and for the tests.
std::string wineDdeCheckedReleases();

struct WineDdeGate {
    bool underWine = false;  // ntdll has wine_get_version
    bool apply = false;      // ... and its version is one the steps were checked against
    std::string version;     // wine_get_version's text; empty outside Wine
};

// Asks ntdll once which Wine, if any, this process runs under.
WineDdeGate readWineDdeGate();

// The one line that says the steps are off under this Wine, naming `whose`
// steps ("the plugin's", "the host's").
std::string wineDdeStepsOffLine(const WineDdeGate& gate, const char* whose);
