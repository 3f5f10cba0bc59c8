#include "wine_dde_versions.h"

#include <windows.h>

#include <cctype>

namespace {

struct CheckedWineReleases {
    WineVersion first;
    WineVersion last;  // both ends included
};

// The Wine releases whose DDEML (dlls/user32/dde_client.c, dde_server.c,
// dde_misc.c and message.c) the Wine steps were read against and run under:
// 8.0, as Debian 12 ships it. Its maintenance releases (8.0.1 on) and the
// development series may change what DDEML frees; a release joins this
// table once its sources have been read and the movable-handle test in
// tests/host_link passes under it.
const CheckedWineReleases kCheckedReleases[] = {
    // first       last
    {{8, 0, 0}, {8, 0, 0}},
};

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

bool wineDdeStepsChecked(const char* text) {
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
    const char* version = wineGetVersion();
    gate.version = version ? version : "";
    gate.apply = wineDdeStepsChecked(version);
    return gate;
}

std::string wineDdeStepsOffLine(const WineDdeGate& gate, const char* whose) {
    return "Wine " + (gate.version.empty() ? std::string("(no version)") : gate.version) + ": " + whose +
           " Wine DDE steps are off; they were checked against Wine " + wineDdeCheckedReleases() + " only";
}
