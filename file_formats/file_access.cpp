// rand_s, the Windows C runtime's system random source, is declared only
// when this is defined before the first include of stdlib.h.
#define _CRT_RAND_S
#include "file_access.h"

#include <fcntl.h>

#include <algorithm>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <io.h>
#include <share.h>
#include <windows.h>
#else
#include <signal.h>
#include <sys/mman.h>
#include <sys/random.h>
#include <unistd.h>
#endif

const char kTemporaryInfix[] = ".palette-balance-";

namespace {

// A run of random names that are all taken means someone is planting them.
constexpr int kTemporaryNameAttempts = 100;
// Each write call moves at most this much (Windows' _write counts in int).
constexpr size_t kWriteChunk = size_t(1) << 30;

// The C library's reason for a failure, or `fallback` when it gave none.
std::string systemReason(int code, const char* fallback) {
    return code != 0 ? std::string(std::strerror(code)) : std::string(fallback);
}

std::string tooLargeReason() {
    return std::string("larger than ") + kMaxInputText + ", the limit for a palette file";
}

// ---- The platform's file calls -------------------------------------------

#ifdef _WIN32
using FileStatus = struct _stat64;
int statusOf(int fd, FileStatus& status) { return _fstat64(fd, &status); }
int openForReading(const char* path) {
    return _open(path, _O_RDONLY | _O_BINARY | _O_NOINHERIT);
}
int readSome(int fd, uint8_t* buffer, size_t size) { return _read(fd, buffer, unsigned(size)); }
long writeSome(int fd, const uint8_t* data, size_t size) {
    return _write(fd, data, unsigned(size));
}
int closeFile(int fd) { return _close(fd); }
int flushToDisk(int fd) { return _commit(fd); }
int removeFile(const char* path) { return _unlink(path); }
#else
using FileStatus = struct stat;
int statusOf(int fd, FileStatus& status) { return fstat(fd, &status); }
int openForReading(const char* path) { return open(path, O_RDONLY | O_CLOEXEC); }
ssize_t readSome(int fd, uint8_t* buffer, size_t size) { return read(fd, buffer, size); }
ssize_t writeSome(int fd, const uint8_t* data, size_t size) { return write(fd, data, size); }
int closeFile(int fd) { return close(fd); }
int flushToDisk(int fd) { return fsync(fd); }
int removeFile(const char* path) { return unlink(path); }
#endif

// Maps `size` bytes of the open regular file read-only; false when the system
// cannot, and the caller reads the file instead.
bool mapOpenFile(int fd, size_t size, InputFile& input) {
#ifdef _WIN32
    HANDLE mapping = CreateFileMappingA(reinterpret_cast<HANDLE>(_get_osfhandle(fd)), nullptr,
                                        PAGE_READONLY, 0, 0, nullptr);
    if (!mapping) return false;
    void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, size);
    CloseHandle(mapping);  // the view keeps the mapping open
    if (!view) return false;
#else
    void* view = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (view == MAP_FAILED) return false;
#endif
    input.mapping = view;
    input.mappedSize = size;
    input.bytes = {static_cast<const uint8_t*>(view), size};
    return true;
}

void unmapFile(void* view, size_t size) {
#ifdef _WIN32
    (void)size;
    UnmapViewOfFile(view);
#else
    munmap(view, size);
#endif
}

#ifndef _WIN32
// The line the bus-error handler writes, made before any mapped byte is read,
// since the handler may only write what is ready.
char shortenedInputLine[1024];
size_t shortenedInputLineLength = 0;

void noteMappedInput(const std::string& path) {
    const std::string line = "palette-balance: " + path + ": the file was shortened while it was being read\n";
    shortenedInputLineLength = std::min(line.size(), sizeof shortenedInputLine);
    std::memcpy(shortenedInputLine, line.data(), shortenedInputLineLength);
}

void onBusError(int) {
    const ssize_t written = write(STDERR_FILENO, shortenedInputLine, shortenedInputLineLength);
    (void)written;
    _exit(1);
}
#endif

// ---- Reading ----------------------------------------------------------------

// Reads an open pipe or unmappable file to its end, up to kMaxInputBytes.
bool readOpenFile(int fd, bool isRegular, uint64_t size, std::vector<uint8_t>& bytes,
                  std::string& error) {
    // A pipe's length is known only at its end; the room reserved for it is
    // address space, which takes no memory until the bytes arrive.
    bytes.reserve(isRegular ? size_t(size) : size_t(kMaxInputBytes));
    uint8_t buffer[65536];  // the vector's own type, so that each run is appended as one copy
    for (;;) {
        errno = 0;
        const auto got = readSome(fd, buffer, sizeof buffer);
        if (got == 0) return true;
        if (got < 0) {
            if (errno == EINTR) continue;
            error = "cannot read: " + systemReason(errno, "read error");
            return false;
        }
        if (bytes.size() + size_t(got) > kMaxInputBytes) {
            error = tooLargeReason();
            return false;
        }
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
}

bool readOrMapOpenFile(int fd, InputFile& input, std::string& error) {
    FileStatus status;
    const bool known = statusOf(fd, status) == 0;
    const bool isDevice = known && (status.st_mode & S_IFMT) == S_IFCHR;
    const bool isRegular = known && (status.st_mode & S_IFMT) == S_IFREG;
    const uint64_t size = isRegular && status.st_size > 0 ? uint64_t(status.st_size) : 0;
    if (isDevice) {
        error = "a device, not a file: palette files are read from files and pipes";
        return false;
    }
    if (size > kMaxInputBytes) {
        error = tooLargeReason();
        return false;
    }
    if (size > 0 && mapOpenFile(fd, size_t(size), input)) return true;
    if (!readOpenFile(fd, isRegular, size, input.copy, error)) return false;
    input.bytes = viewOf(input.copy);
    return true;
}

// ---- Writing ----------------------------------------------------------------

// Six letters and digits from the system's random source; the clock and the
// process stand in should it fail, as O_EXCL keeps even a guessed name safe.
void randomSuffix(char suffix[7]) {
    static const char kLetters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static unsigned counter = 0;
    uint32_t random[6];
    bool drawn = true;
#ifdef _WIN32
    for (uint32_t& value : random) {
        unsigned int drawnValue = 0;
        drawn = drawn && rand_s(&drawnValue) == 0;
        value = drawnValue;
    }
#else
    drawn = getrandom(random, sizeof random, 0) == ssize_t(sizeof random);
#endif
    if (!drawn) {
        uint32_t mixed = uint32_t(std::time(nullptr)) ^ uint32_t(std::clock()) * 2654435761u ^
                         ++counter * 40503u;
#ifndef _WIN32
        mixed ^= uint32_t(getpid()) << 16;
#endif
        for (uint32_t& value : random) value = mixed = mixed * 1103515245u + 12345u;
    }
    for (int i = 0; i < 6; ++i) suffix[i] = kLetters[random[i] % 62];
    suffix[6] = '\0';
}

#ifndef _WIN32
// The permissions of the regular file at `path`, or a new file's: 0666 less
// the umask. A link's own bits mean nothing, so a link gets a new file's.
mode_t modeForReplacing(const std::string& path) {
    struct stat status;
    if (lstat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode)) return status.st_mode & 07777;
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}
#endif

bool writeAll(int fd, const uint8_t* data, size_t size, int& code) {
    while (size > 0) {
        errno = 0;
        const auto written = writeSome(fd, data, size < kWriteChunk ? size : kWriteChunk);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            code = written < 0 && errno != 0 ? errno : ENOSPC;
            return false;
        }
        data += written;
        size -= size_t(written);
    }
    return true;
}

// What went wrong while the temporary file was written; the reasons are made
// only after it has been removed.
enum WriteStep { WriteDone, WriteBytes, WriteFlush, WritePermissions };

WriteStep writeAndFlush(int fd, const std::vector<ByteView>& spans, unsigned mode, int& code) {
    for (const ByteView& span : spans)
        if (!writeAll(fd, span.data(), span.size(), code)) return WriteBytes;
    errno = 0;
    if (flushToDisk(fd) != 0) {
        code = errno;
        return WriteFlush;
    }
#ifdef _WIN32
    (void)mode;  // Windows files carry no such permission bits
#else
    errno = 0;
    if (fchmod(fd, mode_t(mode)) != 0) {
        code = errno;
        return WritePermissions;
    }
#endif
    return WriteDone;
}

std::string writeReason(WriteStep step, int code) {
    if (step == WritePermissions)
        return "cannot give the file its permissions: " + systemReason(code, "unknown reason");
    return "cannot write the file: " + systemReason(code, "write error");
}

bool createTemporaryFile(const std::string& path, std::string& temporary, int& fd,
                         std::string& error) {
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        char suffix[7];
        randomSuffix(suffix);
        temporary = path + kTemporaryInfix + suffix;
        int code = 0;
        fd = createNewFile(temporary, code);
        if (fd >= 0) return true;
        if (code != EEXIST) {
            error = "cannot create the file: " + systemReason(code, "unknown reason");
            return false;
        }
    }
    error = "cannot create a temporary file beside it: " + std::to_string(kTemporaryNameAttempts) +
            " random names were all taken";
    return false;
}

// Renames without allocating; false with the system's error code.
bool renameOver(const char* from, const char* to, unsigned long& code) {
#ifdef _WIN32
    // rename() refuses an existing target on Windows.
    if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
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

bool openInputFile(const std::string& path, InputFile& input, std::string& error) {
    closeInputFile(input);
    errno = 0;
    const int fd = openForReading(path.c_str());
    if (fd < 0) {
        error = "cannot open: " + systemReason(errno, "unknown reason");
        return false;
    }
    const bool opened = readOrMapOpenFile(fd, input, error);
    closeFile(fd);  // a mapping stays valid without its descriptor
#ifndef _WIN32
    if (opened && input.mapping) noteMappedInput(path);
#endif
    return opened;
}

void closeInputFile(InputFile& input) {
    if (input.mapping) unmapFile(input.mapping, input.mappedSize);
    input.mapping = nullptr;
    input.mappedSize = 0;
    input.bytes = ByteView();
    input.copy = std::vector<uint8_t>();
}

int createNewFile(const std::string& path, int& code) {
    errno = 0;
#ifdef _WIN32
    // _O_EXCL creates the file only when the name is free, link or not.
    int fd = -1;
    code = _sopen_s(&fd, path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                    _SH_DENYRW, _S_IREAD | _S_IWRITE);
    return code == 0 ? fd : -1;
#else
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    code = fd < 0 ? errno : 0;
    return fd;
#endif
}

void reportShortenedInputsOnBusError() {
#ifndef _WIN32
    signal(SIGBUS, onBusError);
#endif
}

void failWritesPastFileSizeLimit() {
#ifndef _WIN32
    signal(SIGXFSZ, SIG_IGN);
#endif
}

bool writeTemporaryFile(const std::string& path, const std::vector<ByteView>& spans,
                        PendingFile& pending, std::string& error) {
#ifdef _WIN32
    const unsigned mode = 0;
#else
    const unsigned mode = unsigned(modeForReplacing(path));
#endif
    pending.path = path;
    int fd = -1;
    if (!createTemporaryFile(path, pending.temporary, fd, error)) return false;
    int code = 0;
    WriteStep failed = writeAndFlush(fd, spans, mode, code);
    errno = 0;
    if (closeFile(fd) != 0 && failed == WriteDone) {
        failed = WriteBytes;
        code = errno;
    }
    if (failed == WriteDone) return true;
    removeFile(pending.temporary.c_str());
    error = writeReason(failed, code);
    return false;
}

bool commitFile(const PendingFile& pending, std::string& error) {
    unsigned long code = 0;
    if (renameOver(pending.temporary.c_str(), pending.path.c_str(), code)) return true;
    removeFile(pending.temporary.c_str());
    error = renameReason(code);
    return false;
}

void discardFile(const PendingFile& pending) { removeFile(pending.temporary.c_str()); }

bool writeFileReplacing(const std::string& path, const std::vector<ByteView>& spans,
                        std::string& error) {
    PendingFile pending;
    return writeTemporaryFile(path, spans, pending, error) && commitFile(pending, error);
}

bool writeFileReplacing(const std::string& path, const std::vector<uint8_t>& bytes,
                        std::string& error) {
    return writeFileReplacing(path, std::vector<ByteView>{viewOf(bytes)}, error);
}
