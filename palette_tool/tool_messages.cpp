#include "tool_messages.h"

#include <cstdint>
#include <cstdio>

const char kProgramName[] = "palette-balance";

namespace {

bool isControl(char c) { return uint8_t(c) < 0x20 || uint8_t(c) == 0x7F; }

}  // namespace

// The line is made first and written at once: stderr is unbuffered, and a
// run over a folder prints one line a file.
void printMessage(const std::string& path, const char* text) {
    std::string line = std::string(kProgramName) + ": ";
    if (!path.empty()) line += printablePath(path) + ": ";
    line += text;
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
}

std::string printablePath(const std::string& path) {
    std::string printable;
    for (char c : path) {
        if (isControl(c)) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02x", unsigned(uint8_t(c)));
            printable += escape;
        } else {
            printable += c;
        }
    }
    return printable;
}
