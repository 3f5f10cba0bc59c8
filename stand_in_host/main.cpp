// StandInKavrin: a stand-in for Kavrin's DDE image server. It holds an
// indexed picture, shows it with its palette, and answers the plugin's
// commands over DDE and the clipboard; options make it misbehave for tests.
#include "host_state.h"

#include <cstdlib>

StandInHostState host;

// Reads the whole file into `bytes`; false when it cannot be read.
static bool readWholeFile(const std::string& path, std::vector<uint8_t>& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const DWORD size = GetFileSize(file, nullptr);
    bool done = size != INVALID_FILE_SIZE && size <= 256u * 1024 * 1024;
    if (done) {
        bytes.resize(size);
        DWORD read = 0;
        done = size == 0 || (ReadFile(file, bytes.data(), size, &read, nullptr) && read == size);
    }
    CloseHandle(file);
    return done;
}

// The picture named on the command line, or the built-in one.
static bool openPicture() {
    if (host.options.picturePath.empty()) {
        makeBuiltInPicture(host.picture);
        return true;
    }
    std::vector<uint8_t> bytes;
    std::string problem = "cannot read the file";
    if (readWholeFile(host.options.picturePath, bytes) &&
        readBmpPicture(bytes.data(), bytes.size(), host.picture, problem)) {
        const size_t slash = host.options.picturePath.find_last_of("\\/");
        host.picture.name = host.options.picturePath.substr(slash == std::string::npos ? 0 : slash + 1);
        return true;
    }
    logLine("FAILED picture=" + host.options.picturePath + " problem=" + problem);
    return false;
}

// Writes `text` to standard output; a program started from Explorer or a
// shortcut has none, so it then shows the text in a message box instead.
static void tellUser(const std::string& text, UINT icon) {
    if (!writeStandardOutput(text)) MessageBoxA(nullptr, text.c_str(), "StandInKavrin", MB_OK | icon);
}

static int runMessageLoop() {
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return int(message.wParam);
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int show) {
    const std::vector<std::string> args(__argv + 1, __argv + __argc);
    std::string problem;
    if (!parseHostOptions(args, host.options, problem)) {
        tellUser("StandInKavrin: " + problem + "\nTry StandInKavrin --help.\n", MB_ICONERROR);
        return kExitBadCommandLine;
    }
    if (host.options.help) {
        tellUser(hostHelpText(), 0);
        return kExitNormal;
    }
    if (!openEventLog(host.options.logPath)) return kExitBadCommandLine;
    if (!openPicture()) {
        closeEventLog();
        return kExitNoPicture;
    }
    if (!createHostWindow(show)) {
        logLine("FAILED window error=" + std::to_string(GetLastError()));
        closeEventLog();
        return kExitNoWindowOrService;
    }
    if (!startDdeServer()) {  // it logs which step failed
        closeEventLog();
        return kExitNoWindowOrService;
    }
    logLine("READY picture=" + host.picture.name + " colours=" +
            std::to_string(paletteEntryCount(host.picture)) + " width=" +
            std::to_string(host.picture.width) + " height=" + std::to_string(host.picture.height));
    const int code = runMessageLoop();
    stopDdeServer();
    logLine("END exit code=" + std::to_string(code));
    closeEventLog();
    return code;
}
