// Which Wine-only steps of a DDE conversation run in this process. They are
// of two kinds:
// - queue steps: public DDEML calls on the program's own handles, such as
//   abandoning its own finished transaction. Every Wine release seen so far
//   needs them to finish an exchange at all, and they cannot free what Wine
//   frees itself, so they run under every Wine. On Windows they never run.
// - frees: blocks that Wine's DDEML leaves behind on every exchange, freed by
//   the plugin (wine_dde_compat) and the stand-in host
//   (host_wine_dde_compat). A later Wine that frees one of them itself would
//   meet a double free, so they run only in the releases of the one table
//   here, whose sources they were checked against.
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

// True when `text` names a release that the frees were checked against.
bool wineDdeFreesChecked(const char* text);

// The checked releases as words ("8.0, 10.0", "8.0 to 8.0.2"), for the line
// that says the frees are off and for the tests.
std::string wineDdeCheckedReleases();

struct WineDdeGate {
    bool underWine = false;     // ntdll has wine_get_version: the queue steps run
    bool freesChecked = false;  // ... and its release is in the table: the frees run too
    std::string version;        // wine_get_version's text; empty outside Wine
};

// Asks ntdll which Wine, if any, this process runs under.
WineDdeGate readWineDdeGate();

// For tests: makes readWineDdeGate take `version` for the running Wine's
// release, so that a release outside the table can be tried under one in
// it. Null goes back to wine_get_version. Outside Wine it changes nothing.
void pretendWineRelease(const char* version);

// The one line that says the frees are off under this Wine, naming `whose`
// frees ("the plugin's", "the host's").
std::string wineDdeFreesOffLine(const WineDdeGate& gate, const char* whose);
