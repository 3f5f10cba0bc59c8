// What palette-balance says on stderr: one line per message, each beginning
// with the program's name and, when there is one, the file it concerns.
#pragma once

#include <string>

extern const char kProgramName[];  // "palette-balance"

// Prints "palette-balance: PATH: text" (without "PATH: " when `path` is
// empty) and a line end. A control character in the path (a line break in a
// file name, say) is written as an escape, so the message stays one line. It
// allocates nothing, so it can also report that memory ran out.
void printMessage(const std::string& path, const char* text);

// `path` as printMessage prints it, to quote a second file inside a message.
std::string printablePath(const std::string& path);
