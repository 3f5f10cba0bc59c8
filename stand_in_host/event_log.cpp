#include "host_state.h"

bool openEventLog(const std::string& path) {
    if (path.empty()) {
        host.log = GetStdHandle(STD_OUTPUT_HANDLE);
        return true;
    }
    host.log = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    return host.log != INVALID_HANDLE_VALUE;
}

static bool writeAll(HANDLE file, const std::string& text) {
    if (file == nullptr || file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    return WriteFile(file, text.data(), DWORD(text.size()), &written, nullptr) &&
           written == text.size();
}

void logLine(const std::string& line) { writeAll(host.log, line + "\n"); }

void closeEventLog() {
    if (!host.options.logPath.empty() && host.log != INVALID_HANDLE_VALUE) CloseHandle(host.log);
    host.log = INVALID_HANDLE_VALUE;
}

bool writeStandardOutput(const std::string& text) {
    return writeAll(GetStdHandle(STD_OUTPUT_HANDLE), text);
}
