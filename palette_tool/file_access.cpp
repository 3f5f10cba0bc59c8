#include "file_access.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

namespace {

// The C library's reason for the last failure, or `fallback` when it gave none.
std::string systemReason(int code, const char* fallback) {
    return code != 0 ? std::string(std::strerror(code)) : std::string(fallback);
}

std::string tooLargeReason() {
    return std::string("larger than ") + kMaxInputText + ", the limit for a palette file";
}

// What the open file is, as far as the system tells: a device, and the size
// of a regular file (otherwise 0).
void describeOpenFile(std::FILE* file, bool& isDevice, bool& isRegular, uint64_t& size) {
#ifdef _WIN32
    struct _stat64 status;
    const bool known = _fstat64(_fileno(file), &status) == 0;
#else
    struct stat status;
    const bool known = fstat(fileno(file), &status) == 0;
#endif
    isDevice = known && (status.st_mode & S_IFMT) == S_IFCHR;
    isRegular = known && (status.st_mode & S_IFMT) == S_IFREG;
    size = isRegular && status.st_size > 0 ? uint64_t(status.st_size) : 0;
}

bool readOpenFile(std::FILE* file, std::vector<uint8_t>& bytes, std::string& error) {
    bool isDevice = false, isRegular = false;
    uint64_t size = 0;
    describeOpenFile(file, isDevice, isRegular, size);
    if (isDevice) {
        error = "a device, not a file: palette files are read from files and pipes";
        return false;
    }
    if (size > kMaxInputBytes) {
        error = tooLargeReason();
        return false;
    }
    // A pipe's length is known only at its end; the room reserved for it is
    // address space, which takes no memory until the bytes arrive.
    bytes.reserve(isRegular ? size_t(size) : size_t(kMaxInputBytes));
    uint8_t buffer[65536];  // the vector's own type, so that each run is appended as one copy
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        if (bytes.size() + got > kMaxInputBytes) {
            error = tooLargeReason();
            return false;
        }
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    if (std::ferror(file)) {
        error = "cannot read: " + systemReason(errno, "read error");
        return false;
    }
    return true;
}

// Renames without allocating; false with the system's error code.
bool renameOver(const char* from, const char* to, unsigned long& code) {
#ifdef _WIN32
    // rename() refuses an existing target on Windows.
    if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING)) return true;
    code = GetLastError();
    return false;
#else
    errno = 0;
    if (std::rename(from, to) == 0) return true;
    code = static_cast<unsigned long>(errno);
    return false;
#endif
}

std::string renameReason(unsigned long code) {
#ifdef _WIN32
    return "cannot rename the finished file into place (Windows error " + std::to_string(code) +
           ")";
#else
    return "cannot rename the finished file into place: " +
           systemReason(int(code), "unknown reason");
#endif
}

}  // namespace

bool readWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
    bytes.clear();
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        error = "cannot open: " + systemReason(errno, "unknown reason");
        return false;
    }
    errno = 0;
    const bool read = readOpenFile(file, bytes, error);
    std::fclose(file);
    return read;
}

std::string temporaryPathFor(const std::string& path) { return path + ".palette-balance-tmp"; }

bool replaceFile(const std::string& from, const std::string& to, std::string& error) {
    unsigned long code = 0;
    if (renameOver(from.c_str(), to.c_str(), code)) return true;
    error = renameReason(code);
    return false;
}

bool writeFileReplacing(const std::string& path, const std::vector<ByteSpan>& spans,
                        std::string& error) {
    const std::string temporary = temporaryPathFor(path);
    errno = 0;
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) {
        error = "cannot create the file: " + systemReason(errno, "unknown reason");
        return false;
    }
    errno = 0;
    bool written = true;
    for (const ByteSpan& span : spans)
        if (written && span.size > 0)
            written = std::fwrite(span.data, 1, span.size, file) == span.size;
    const int writeCode = errno;
    written = std::fclose(file) == 0 && written;
    const int code = writeCode != 0 ? writeCode : errno;
    unsigned long renameCode = 0;
    if (written && renameOver(temporary.c_str(), path.c_str(), renameCode)) return true;
    std::remove(temporary.c_str());
    error = written ? renameReason(renameCode)
                    : "cannot write the file: " + systemReason(code, "write error");
    return false;
}

bool writeFileReplacing(const std::string& path, const std::vector<uint8_t>& bytes,
                        std::string& error) {
    return writeFileReplacing(path, std::vector<ByteSpan>{{bytes.data(), bytes.size()}}, error);
}
