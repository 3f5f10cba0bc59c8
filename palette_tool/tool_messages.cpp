#include "tool_messages.h"

#include <cstdint>
#include <cstdio>

const char kProgramName[] = "palette-balance";

namespace {

bool isControl(char c) { return uint8_t(c) < 0x20 || uint8_t(c) == 0x7F; }

void printPath(const std::string& path) {
    for (char c : path) {
        if (isControl(c))
            std::fprintf(stderr, "\\x%02x", unsigned(uint8_t(c)));
        else
            std::fputc(c, stderr);
    }
}

}  // namespace

void printMessage(const std::string& path, const char* text) {
    std::fprintf(stderr, "%s: ", kProgramName);
    if (!path.empty()) {
        printPath(path);
        std::fputs(": ", stderr);
    }
    std::fprintf(stderr, "%s\n", text);
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
