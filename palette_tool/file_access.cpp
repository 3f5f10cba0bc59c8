#include "file_access.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

namespace {

// The C library's reason for the last failure, or `fallback` when it gave none.
std::string systemReason(const char* fallback) {
    return errno != 0 ? std::string(std::strerror(errno)) : std::string(fallback);
}

}  // namespace

bool readWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
    errno = 0;
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "cannot open: " + systemReason("unknown reason");
        return false;
    }
    // istream::read turns a failing read (a folder, say) into badbit, where
    // reading through the stream buffer directly would throw.
    errno = 0;
    bytes.clear();
    char buffer[65536];
    while (file.read(buffer, sizeof buffer) || file.gcount() > 0)
        bytes.insert(bytes.end(), buffer, buffer + file.gcount());
    if (file.bad()) {
        error = "cannot read: " + systemReason("read error");
        return false;
    }
    return true;
}

std::string temporaryPathFor(const std::string& path) { return path + ".palette-balance-tmp"; }

bool replaceFile(const std::string& from, const std::string& to, std::string& error) {
#ifdef _WIN32
    // rename() refuses an existing target on Windows.
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    error = "cannot rename the finished file into place (Windows error " +
            std::to_string(GetLastError()) + ")";
    return false;
#else
    errno = 0;
    if (std::rename(from.c_str(), to.c_str()) == 0) return true;
    error = "cannot rename the finished file into place: " + systemReason("unknown reason");
    return false;
#endif
}

bool writeFileReplacing(const std::string& path, const std::vector<uint8_t>& bytes,
                        std::string& error) {
    const std::string temporary = temporaryPathFor(path);
    errno = 0;
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    if (!file) {
        error = "cannot create the file: " + systemReason("unknown reason");
        return false;
    }
    errno = 0;
    file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    file.close();
    if (file.fail()) {
        error = "cannot write the file: " + systemReason("write error");
        std::remove(temporary.c_str());
        return false;
    }
    if (!replaceFile(temporary, path, error)) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}
