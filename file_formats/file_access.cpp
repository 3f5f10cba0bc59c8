// rand_s, the Windows C runtime's system random source, is declared only
// when this is defined before the first include of stdlib.h.
#define _CRT_RAND_S
#include "file_access.h"

#include <fcntl.h>

#include <algorithm>
#include <sys/stat.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <io.h>
#include <windows.h>
#else
#include <signal.h>
#include <sys/mman.h>
#include <sys/random.h>
#include <unistd.h>
#endif

const char kTemporaryInfix[] = ".palette-balance-";
const char kInputShortenedReason[] = "the file was shortened while it was being read";

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
// The mapping being read, which the bus-error handler may patch, and whether
// it did since the input was opened.
const uint8_t* volatile shortenedWatchStart = nullptr;
volatile size_t shortenedWatchSize = 0;
volatile sig_atomic_t shortenedSeen = 0;
size_t pageSize = 4096;

// A bus error inside the watched mapping: the page past the file's new end
// is replaced by a page of zeros, so that the read goes on and the input
// fails once it is done. Any other bus error ends the process as it would.
void onBusError(int signalNumber, siginfo_t* info, void*) {
    const uintptr_t at = reinterpret_cast<uintptr_t>(info->si_addr);
    const uintptr_t start = reinterpret_cast<uintptr_t>(shortenedWatchStart);
    if (start != 0 && at >= start && at - start < shortenedWatchSize) {
        void* page = reinterpret_cast<void*>(at & ~uintptr_t(pageSize - 1));
        if (mmap(page, pageSize, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) != MAP_FAILED) {
            shortenedSeen = 1;
            return;
        }
    }
    signal(signalNumber, SIG_DFL);
    raise(signalNumber);
}
#endif

// ---- Temporary files an interrupt removes -------------------------------------

// Every temporary file not yet renamed into place, in fixed storage that the
// interrupt handler reads without allocating. A slot is taken and given up
// with the interrupts held back (the lock on Windows), so that the handler
// never sees a file half-registered.
constexpr int kTemporarySlots = 256;
constexpr size_t kTemporaryPathBytes = 4096;

struct TemporarySlot {
    volatile sig_atomic_t used;
    char path[kTemporaryPathBytes];
#ifdef _WIN32
    HANDLE openFile;  // while it is being written, or INVALID_HANDLE_VALUE
#endif
};

TemporarySlot temporarySlots[kTemporarySlots];

#ifdef _WIN32
CRITICAL_SECTION temporaryLock;
bool temporaryLockReady = false;
volatile LONG interrupted = 0;

void holdInterrupts() {
    if (temporaryLockReady) EnterCriticalSection(&temporaryLock);
}
void releaseInterrupts() {
    if (temporaryLockReady) LeaveCriticalSection(&temporaryLock);
}
#else
sigset_t interruptSignals;
sigset_t signalsBeforeHold;

void holdInterrupts() { sigprocmask(SIG_BLOCK, &interruptSignals, &signalsBeforeHold); }
void releaseInterrupts() { sigprocmask(SIG_SETMASK, &signalsBeforeHold, nullptr); }
#endif

// Registers a temporary file; -1 when every slot is taken or the name is too
// long, and the file is then not made.
int takeTemporarySlot(const std::string& temporary) {
    if (temporary.size() >= kTemporaryPathBytes) return -1;
    for (int slot = 0; slot < kTemporarySlots; ++slot) {
        if (temporarySlots[slot].used) continue;
        std::memcpy(temporarySlots[slot].path, temporary.c_str(), temporary.size() + 1);
#ifdef _WIN32
        temporarySlots[slot].openFile = INVALID_HANDLE_VALUE;
#endif
        temporarySlots[slot].used = 1;
        return slot;
    }
    return -1;
}

void giveUpTemporarySlot(const std::string& temporary) {
    for (TemporarySlot& slot : temporarySlots)
        if (slot.used && temporary == slot.path) slot.used = 0;
}

#ifdef _WIN32
void noteTemporaryHandle(const std::string& temporary, HANDLE file) {
    holdInterrupts();
    for (TemporarySlot& slot : temporarySlots)
        if (slot.used && temporary == slot.path) slot.openFile = file;
    releaseInterrupts();
}

// Runs on a thread of its own. A file still open for writing is marked for
// deletion through its handle, since its sharing mode keeps others from
// deleting it by name; it goes when the process ends. Returning FALSE lets
// the system's own handler end the process.
BOOL WINAPI onConsoleInterrupt(DWORD) {
    holdInterrupts();
    interrupted = 1;
    for (TemporarySlot& slot : temporarySlots) {
        if (!slot.used) continue;
        FILE_DISPOSITION_INFO dispose = {TRUE};
        if (slot.openFile == INVALID_HANDLE_VALUE ||
            !SetFileInformationByHandle(slot.openFile, FileDispositionInfo, &dispose, sizeof dispose))
            DeleteFileA(slot.path);
        slot.used = 0;
    }
    releaseInterrupts();
    return FALSE;
}
#else
// Only async-signal-safe calls: unlink, signal, raise.
void onInterrupt(int signalNumber) {
    for (TemporarySlot& slot : temporarySlots)
        if (slot.used) unlink(slot.path);
    signal(signalNumber, SIG_DFL);
    raise(signalNumber);
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

WriteStep writeAndFlush(int fd, const std::vector<ByteView>& spans, unsigned mode,
                        FlushTiming timing, int& code) {
    for (const ByteView& span : spans)
        if (!writeAll(fd, span.data(), span.size(), code)) return WriteBytes;
    errno = 0;
#if defined(__linux__)
    // A flush left for later starts writing the bytes out without waiting,
    // so that the flush of the group finds most of them on the disk.
    if (timing == FlushLater) {
        sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
    } else
#else
    (void)timing;  // elsewhere each file is flushed as it is written
#endif
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

// Makes the file and registers it for removal on an interrupt, with the
// interrupts held back in between. False when an interrupt came first.
int createRegisteredFile(const std::string& temporary, int& code) {
    holdInterrupts();
#ifdef _WIN32
    if (interrupted) {
        releaseInterrupts();
        code = EINTR;
        return -1;
    }
#endif
    if (takeTemporarySlot(temporary) < 0) {
        releaseInterrupts();
        code = ENAMETOOLONG;
        return -1;
    }
    const int fd = createNewFile(temporary, code);
    if (fd < 0) giveUpTemporarySlot(temporary);
    releaseInterrupts();
#ifdef _WIN32
    if (fd >= 0) noteTemporaryHandle(temporary, reinterpret_cast<HANDLE>(_get_osfhandle(fd)));
#endif
    return fd;
}

// Closes a temporary file's descriptor; on Windows the interrupt handler
// then deletes it by name.
int closeTemporary(const std::string& temporary, int fd) {
#ifdef _WIN32
    noteTemporaryHandle(temporary, INVALID_HANDLE_VALUE);
#else
    (void)temporary;
#endif
    return closeFile(fd);
}

void removeTemporary(const std::string& temporary) {
    holdInterrupts();
    removeFile(temporary.c_str());
    giveUpTemporarySlot(temporary);
    releaseInterrupts();
}

bool createTemporaryFile(const std::string& path, std::string& temporary, int& fd,
                         std::string& error) {
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        char suffix[7];
        randomSuffix(suffix);
        temporary = path + kTemporaryInfix + suffix;
        int code = 0;
        fd = createRegisteredFile(temporary, code);
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

// Why a rename was refused: the system's error, or the output being read-only.
struct RenameFailure {
    unsigned long code;
    bool readOnly;
};

#ifdef _WIN32
// Paths as the wide calls take them, converted into fixed buffers so that
// nothing is allocated between the temporary file's creation and its rename.
wchar_t wideFrom[32768];
wchar_t wideTo[32768];
wchar_t wideGiven[32768];  // the name as given, before it is made full

// The full path, with a drive and backslashes, as ReplaceFileW needs it.
bool widen(const char* path, wchar_t* wide) {
    if (MultiByteToWideChar(CP_ACP, 0, path, -1, wideGiven, 32768) <= 0) return false;
    const DWORD length = GetFullPathNameW(wideGiven, 32768, wide, nullptr);
    return length > 0 && length < 32768;
}

// A virus scanner or a picture viewer may hold the output open without
// letting others replace it for a second or so after it touched it.
constexpr int kSharingRetries = 40;
constexpr DWORD kSharingRetryMs = 50;

bool isSharingFailure(DWORD code) {
    return code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION ||
           code == ERROR_UNABLE_TO_REMOVE_REPLACED || code == ERROR_ACCESS_DENIED;
}

// ReplaceFileW keeps the replaced file's attributes and access rights; a
// new name is made by MoveFileExW.
bool replaceOrMove(DWORD& code) {
    const DWORD attributes = GetFileAttributesW(wideTo);
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    const bool replaced =
        exists ? ReplaceFileW(wideTo, wideFrom, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0
               : MoveFileExW(wideFrom, wideTo, MOVEFILE_WRITE_THROUGH) != 0;
    code = replaced ? 0 : GetLastError();
    return replaced;
}
#endif

// Renames without allocating; false with the reason.
bool renameOver(const char* from, const char* to, RenameFailure& failure) {
    failure = {0, false};
#ifdef _WIN32
    if (!widen(from, wideFrom) || !widen(to, wideTo)) {
        failure.code = GetLastError();
        return false;
    }
    const DWORD attributes = GetFileAttributesW(wideTo);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
        !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        failure.readOnly = true;
        return false;
    }
    DWORD code = 0;
    for (int attempt = 0; !replaceOrMove(code); ++attempt) {
        if (!isSharingFailure(code) || attempt == kSharingRetries) {
            failure.code = code;
            return false;
        }
        Sleep(kSharingRetryMs);
    }
    return true;
#else
    struct stat status;
    if (lstat(to, &status) == 0 && S_ISREG(status.st_mode) && (status.st_mode & 0222) == 0) {
        failure.readOnly = true;
        return false;
    }
    errno = 0;
    if (std::rename(from, to) == 0) return true;
    failure.code = static_cast<unsigned long>(errno);
    return false;
#endif
}

// The system's words for an error code.
std::string systemWords(unsigned long code) {
#ifdef _WIN32
    char text[512] = "";
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, DWORD(code), 0, text, sizeof text, nullptr);
    std::string words(text, length);
    while (!words.empty() && (words.back() == '\r' || words.back() == '\n' ||
                              words.back() == ' ' || words.back() == '.'))
        words.pop_back();
    return words.empty() ? "the system gives no reason" : words;
#else
    return systemReason(int(code), "unknown reason");
#endif
}

std::string renameReason(const RenameFailure& failure) {
    if (failure.readOnly) return "is read-only; the finished file was not put in its place";
    return "cannot rename the finished file into place: " + systemWords(failure.code);
}

// The device and index of the file or folder at `path`; false when there is none.
bool deviceAndIndexOf(const std::string& path, uint64_t& device, uint64_t& index) {
#ifdef _WIN32
    HANDLE file =
        CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION information;
    const bool known = GetFileInformationByHandle(file, &information) != 0;
    CloseHandle(file);
    if (!known) return false;
    device = information.dwVolumeSerialNumber;
    index = uint64_t(information.nFileIndexHigh) << 32 | information.nFileIndexLow;
#else
    struct stat status;
    if (stat(path.c_str(), &status) != 0) return false;
    device = uint64_t(status.st_dev);
    index = uint64_t(status.st_ino);
#endif
    return true;
}

// Where the folder part of `path` ends, or npos when it has none (npos + 1
// is then 0, where the whole name begins).
size_t lastSlash(const std::string& path) {
#ifdef _WIN32
    return path.find_last_of("/\\");
#else
    return path.rfind('/');
#endif
}

// The folder that holds `path`: "." for a bare name.
std::string folderOf(const std::string& path) {
    const size_t slash = lastSlash(path);
    if (slash == std::string::npos) return ".";
#ifdef _WIN32
    if (slash == 2 && path[1] == ':') return path.substr(0, 3);  // "C:\\", not the drive's current folder
#endif
    return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

#ifdef _WIN32
// The C library's code for a Windows error from making a file, so that the
// reason reads as the other file errors do.
int errnoForWindowsError(DWORD error) {
    switch (error) {
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS: return EEXIST;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME: return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION: return EACCES;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL: return ENOSPC;
        case ERROR_TOO_MANY_OPEN_FILES: return EMFILE;
        default: return EIO;
    }
}
#endif

// Names as the file system compares them: without regard to case on Windows.
bool sameName(const std::string& a, const std::string& b) {
#ifdef _WIN32
    return _stricmp(a.c_str(), b.c_str()) == 0;
#else
    return a == b;
#endif
}

}  // namespace

FileIdentity fileIdentityOf(const std::string& path) {
    FileIdentity identity = {false, 0, 0, std::string(), false};
    if (deviceAndIndexOf(path, identity.device, identity.index)) {
        identity.exists = true;
        identity.folderKnown = true;
        return identity;
    }
    identity.folderKnown = deviceAndIndexOf(folderOf(path), identity.device, identity.index);
    identity.name = identity.folderKnown ? path.substr(lastSlash(path) + 1) : path;
    return identity;
}

bool sameFile(const FileIdentity& a, const FileIdentity& b) {
    if (a.exists != b.exists || a.folderKnown != b.folderKnown) return false;
    if (a.folderKnown && (a.device != b.device || a.index != b.index)) return false;
    return a.exists || sameName(a.name, b.name);
}

bool openInputFile(const std::string& path, InputFile& input, std::string& error) {
    closeInputFile(input);
    errno = 0;
    const int fd = openForReading(path.c_str());
    if (fd < 0) {
        error = "cannot open: " + systemReason(errno, "unknown reason");
        return false;
    }
    const bool opened = readOrMapOpenFile(fd, input, error);
    if (opened && input.mapping) {
        input.descriptor = fd;
#ifndef _WIN32
        shortenedSeen = 0;
        shortenedWatchSize = 0;
        shortenedWatchStart = static_cast<const uint8_t*>(input.mapping);
        shortenedWatchSize = input.mappedSize;
#endif
    } else {
        closeFile(fd);
    }
    return opened;
}

void closeInputFile(InputFile& input) {
#ifndef _WIN32
    if (input.mapping && shortenedWatchStart == input.mapping) {
        shortenedWatchSize = 0;
        shortenedWatchStart = nullptr;
    }
#endif
    if (input.mapping) unmapFile(input.mapping, input.mappedSize);
    if (input.descriptor >= 0) closeFile(input.descriptor);
    input.descriptor = -1;
    input.mapping = nullptr;
    input.mappedSize = 0;
    input.bytes = ByteView();
    input.copy = std::vector<uint8_t>();
}

bool inputWasShortened(const InputFile& input) {
    if (!input.mapping || input.descriptor < 0) return false;
#ifdef _WIN32
    return false;  // Windows refuses to shorten a file while it is mapped
#else
    FileStatus status;
    const bool shorter = statusOf(input.descriptor, status) == 0 &&
                         uint64_t(status.st_size) < uint64_t(input.mappedSize);
    return shorter || (shortenedSeen && shortenedWatchStart == input.mapping);
#endif
}

int createNewFile(const std::string& path, int& code) {
    errno = 0;
#ifdef _WIN32
    // CREATE_NEW makes the file only when the name is free, link or not. The
    // handle may delete the file, so that an interrupt can remove it while
    // it is open; nobody else may open it meanwhile.
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        code = errnoForWindowsError(GetLastError());
        return -1;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(file);
        DeleteFileA(path.c_str());
        code = EMFILE;
    }
    return fd;
#else
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    code = fd < 0 ? errno : 0;
    return fd;
#endif
}

void readShortenedInputsAsFailures() {
#ifndef _WIN32
    pageSize = size_t(sysconf(_SC_PAGESIZE));
    struct sigaction action = {};
    action.sa_sigaction = onBusError;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    sigaction(SIGBUS, &action, nullptr);
#endif
}

void removeTemporaryFilesOnInterrupt() {
#ifdef _WIN32
    InitializeCriticalSection(&temporaryLock);
    temporaryLockReady = true;
    SetConsoleCtrlHandler(onConsoleInterrupt, TRUE);
#else
    sigemptyset(&interruptSignals);
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&interruptSignals, signalNumber);
    struct sigaction action = {};
    action.sa_handler = onInterrupt;
    action.sa_mask = interruptSignals;  // one handler at a time
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction before = {};
        // A shell starts background jobs with interrupts ignored; they stay so.
        if (sigaction(signalNumber, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
        sigaction(signalNumber, &action, nullptr);
    }
#endif
}

void failWritesPastFileSizeLimit() {
#ifndef _WIN32
    signal(SIGXFSZ, SIG_IGN);
#endif
}

bool writeTemporaryFile(const std::string& path, const std::vector<ByteView>& spans,
                        PendingFile& pending, std::string& error, FlushTiming timing) {
#ifdef _WIN32
    const unsigned mode = 0;
#else
    const unsigned mode = unsigned(modeForReplacing(path));
#endif
    pending.path = path;
    pending.descriptor = -1;
    int fd = -1;
    if (!createTemporaryFile(path, pending.temporary, fd, error)) return false;
    int code = 0;
    WriteStep failed = writeAndFlush(fd, spans, mode, timing, code);
#if defined(__linux__)
    if (failed == WriteDone && timing == FlushLater) {
        pending.descriptor = fd;  // closed by its flush
        return true;
    }
#endif
    errno = 0;
    if (closeTemporary(pending.temporary, fd) != 0 && failed == WriteDone) {
        failed = WriteBytes;
        code = errno;
    }
    if (failed == WriteDone) return true;
    removeTemporary(pending.temporary);
    error = writeReason(failed, code);
    return false;
}

bool flushPendingFiles(std::vector<PendingFile>& pending, std::string& error) {
    int failedCode = 0;
#if defined(__linux__)
    // Each file's bytes written out and waited for, then one flush of the
    // last file, which commits the file system's journal and empties the
    // disk's cache for all of them.
    int last = -1;
    for (const PendingFile& file : pending) {
        if (file.descriptor < 0) continue;
        const unsigned waitForAll =
            SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER;
        if (sync_file_range(file.descriptor, 0, 0, waitForAll) != 0 && failedCode == 0) failedCode = errno;
        last = file.descriptor;
    }
    if (last >= 0 && fsync(last) != 0 && failedCode == 0) failedCode = errno;
    for (PendingFile& file : pending) {
        if (file.descriptor < 0) continue;
        if (close(file.descriptor) != 0 && failedCode == 0) failedCode = errno;
        file.descriptor = -1;
    }
#else
    (void)pending;
#endif
    if (failedCode == 0) return true;
    error = "cannot write the file: " + systemReason(failedCode, "write error");
    return false;
}

bool flushFolderOf(const std::string& path) {
#ifdef _WIN32
    (void)path;
    return true;
#else
    const int folder = open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) return false;
    const bool flushed = fsync(folder) == 0;
    close(folder);
    return flushed;
#endif
}

bool commitFile(const PendingFile& pending, std::string& error, bool flushFolder) {
    RenameFailure failure;
    holdInterrupts();
    const bool renamed = renameOver(pending.temporary.c_str(), pending.path.c_str(), failure);
    if (renamed) giveUpTemporarySlot(pending.temporary);
    releaseInterrupts();
    if (renamed) {
        // The new name is in place; a folder that cannot be flushed leaves
        // it as lasting as any other program's rename there.
        if (flushFolder) flushFolderOf(pending.path);
        return true;
    }
    removeTemporary(pending.temporary);
    error = renameReason(failure);
    return false;
}

void discardFile(const PendingFile& pending) {
    if (pending.descriptor >= 0) closeTemporary(pending.temporary, pending.descriptor);
    removeTemporary(pending.temporary);
}

bool writeFileReplacing(const std::string& path, const std::vector<ByteView>& spans,
                        std::string& error) {
    PendingFile pending;
    return writeTemporaryFile(path, spans, pending, error) && commitFile(pending, error);
}

bool writeFileReplacing(const std::string& path, const std::vector<uint8_t>& bytes,
                        std::string& error) {
    return writeFileReplacing(path, std::vector<ByteView>{viewOf(bytes)}, error);
}
