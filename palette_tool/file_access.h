// Reading a whole file, and writing one so that a failure never leaves a
// half-written file behind: the bytes go to a temporary file beside the
// target, which is then renamed over it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Reads the whole file. Returns false with a one-line reason (not naming the
// file) when it cannot be opened or read.
bool readWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error);

// The temporary file that writeFileReplacing writes before renaming it.
std::string temporaryPathFor(const std::string& path);

// Writes `bytes` to the temporary file and renames it to `path`, replacing
// any file there. On failure the temporary file is removed, `path` is left as
// it was, and `error` holds a one-line reason.
bool writeFileReplacing(const std::string& path, const std::vector<uint8_t>& bytes,
                        std::string& error);

// Renames `from` to `to`, replacing an existing `to` on every platform.
bool replaceFile(const std::string& from, const std::string& to, std::string& error);
