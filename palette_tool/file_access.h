// Reading a whole file, and writing one so that a failure never leaves a
// half-written file behind: the bytes go to a temporary file beside the
// target, which is then renamed over it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// No palette comes near this size; a larger input is refused unread, so that
// a wrong file name (a disk image, /dev/zero) cannot use up the memory.
constexpr uint64_t kMaxInputBytes = uint64_t(64) << 20;
constexpr const char* kMaxInputText = "64 MiB";

// Reads the whole file, up to kMaxInputBytes. A larger regular file is refused
// before any of it is read, a pipe once more than that has come through, a
// device outright. Returns false with a one-line reason (not naming the file)
// when it cannot be opened or read or is refused.
bool readWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error);

// A run of bytes to write.
struct ByteSpan {
    const uint8_t* data;
    size_t size;
};

// The temporary file that writeFileReplacing writes before renaming it.
std::string temporaryPathFor(const std::string& path);

// Writes the spans one after the other to the temporary file and renames it
// to `path`, replacing any file there. On failure the temporary file is
// removed, `path` is left as it was, and `error` holds a one-line reason.
// Between creating the temporary file and renaming or removing it nothing is
// allocated, so an allocation failure cannot leave it behind.
bool writeFileReplacing(const std::string& path, const std::vector<ByteSpan>& spans,
                        std::string& error);
bool writeFileReplacing(const std::string& path, const std::vector<uint8_t>& bytes,
                        std::string& error);

// Renames `from` to `to`, replacing an existing `to` on every platform.
bool replaceFile(const std::string& from, const std::string& to, std::string& error);
