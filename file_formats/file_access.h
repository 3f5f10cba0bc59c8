// Reading an input file, mapped into memory where the system allows, and
// writing an output file so that a failure never leaves a half-written file
// and nothing but the output changes: the bytes go to a new temporary file
// beside it, made exclusively and never through a link, flushed to the disk
// and then renamed over the output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "byte_view.h"

// No palette comes near this size; a larger input is refused unread, so that
// a wrong file name (a disk image, /dev/zero) cannot use up the memory.
constexpr uint64_t kMaxInputBytes = uint64_t(64) << 20;
constexpr const char* kMaxInputText = "64 MiB";

// An input file's bytes: a read-only mapping of a regular file, or, for a
// pipe or a file that cannot be mapped, a copy read into `copy`.
struct InputFile {
    ByteView bytes;
    std::vector<uint8_t> copy;
    void* mapping = nullptr;  // the mapped view, or nullptr
    size_t mappedSize = 0;
    int descriptor = -1;  // the mapped file, kept open to tell whether it was shortened
};

// Gives the whole file in input.bytes, up to kMaxInputBytes: mapped when it
// is a regular file the system can map, read otherwise. A larger regular
// file is refused before any of it is read, a pipe once more than that has
// come through, a device outright. Returns false with a one-line reason (not
// naming the file) when it cannot be opened or read or is refused. The bytes
// stay valid until closeInputFile.
bool openInputFile(const std::string& path, InputFile& input, std::string& error);
void closeInputFile(InputFile& input);

// A file as the file system knows it, so that two names of one file (a
// link, "./a.png" and "a.png", on Windows also "A.PNG" and "a.png") are seen
// to be one. A name that holds no file yet is known by its folder's identity
// and its own name; when the folder is missing too, by the name as given.
struct FileIdentity {
    bool exists;
    uint64_t device, index;  // the file's, or its folder's when it does not exist
    std::string name;        // the last part of the name, when it does not exist
    bool folderKnown;
};

FileIdentity fileIdentityOf(const std::string& path);

// True when the two identities are one file, or one name in one folder.
bool sameFile(const FileIdentity& a, const FileIdentity& b);

// Temporary files are named OUTPUT followed by this and six random letters
// and digits.
extern const char kTemporaryInfix[];

// Creates `path` as a new, empty file open for writing, readable and
// writable by its owner only. It never opens a file that exists and never
// follows a link: a name that anything holds, a dangling link included, is
// refused with `code` EEXIST. Returns the descriptor, or -1 with the C
// library's error in `code`.
int createNewFile(const std::string& path, int& code);

// Has a write past the process's file-size limit (ulimit -f) fail as a full
// disk does, instead of ending the process with a signal that would leave
// its temporary file behind. Called once at start.
void failWritesPastFileSizeLimit();

// A mapped input that another program shortens while it is being read gives a
// bus error at the first page past its new end. From this call on, such a
// page of the input being read reads as zeros instead, and
// inputWasShortened tells the caller, so that this input alone fails and a
// run over many files goes on. Called once at start.
void readShortenedInputsAsFailures();

// True when the mapped input was shortened by another program since it was
// opened: its pages past the new end were read as zeros, or its file is now
// shorter than the mapping. The caller then writes nothing from it.
bool inputWasShortened(const InputFile& input);

// The reason a shortened input fails, in the tool's words.
extern const char kInputShortenedReason[];

// On an interrupt (SIGINT, SIGTERM, SIGHUP; on Windows Ctrl+C, Ctrl+Break
// and closing the console), removes every temporary file not yet renamed
// into place, then ends the process as the interrupt would have. Finished
// outputs are whole, since a rename is never interrupted half-way. Called
// once at start.
void removeTemporaryFilesOnInterrupt();

// An output written to its temporary file and not yet renamed into place.
struct PendingFile {
    std::string path;
    std::string temporary;
    int descriptor = -1;  // open until its flush, when the flush was left for later
};

// When an output's bytes are flushed to the disk: before writeTemporaryFile
// returns, or together with others' by flushPendingFiles, which costs one
// flush of the disk for the lot instead of one for each file.
enum FlushTiming { FlushNow, FlushLater };

// Writes the spans one after the other to a new temporary file beside
// `path`, flushes it to the disk and gives it the permissions of the regular
// file it will replace (a new file's, 0666 less the umask, when there is
// none or `path` is a link). On failure the temporary file is removed and
// `error` holds a one-line reason. Nothing is allocated from the creation of
// the temporary file to the end, so an allocation failure cannot leave it
// behind; the caller allocates nothing before commitFile or discardFile.
bool writeTemporaryFile(const std::string& path, const std::vector<ByteView>& spans,
                        PendingFile& pending, std::string& error,
                        FlushTiming timing = FlushNow);

// Flushes temporary files written with FlushLater to the disk: each one's
// bytes are written out and waited for, then one full flush makes them all
// lasting, as a flush of each would. Returns false with a one-line reason
// when that failed; the files are then still pending and none is lasting.
bool flushPendingFiles(std::vector<PendingFile>& pending, std::string& error);

// Renames the temporary file to its path, replacing whatever is there: a
// symbolic link is itself replaced, never followed, so the file it points to
// stays as it was. A read-only file is refused ("is read-only"), as the
// system refuses to write it. Then, unless the caller does it once for many
// files, the folder is flushed, so that the new name outlasts a power cut.
// On failure the temporary file is removed and the path left as it was.
bool commitFile(const PendingFile& pending, std::string& error, bool flushFolder = true);

// Flushes the folder that holds `path` to the disk, so that names renamed
// into it last. Returns false when the system refused; on Windows, where a
// rename is flushed as it is made, it does nothing.
bool flushFolderOf(const std::string& path);
void discardFile(const PendingFile& pending);

// writeTemporaryFile then commitFile.
bool writeFileReplacing(const std::string& path, const std::vector<ByteView>& spans,
                        std::string& error);
bool writeFileReplacing(const std::string& path, const std::vector<uint8_t>& bytes,
                        std::string& error);
