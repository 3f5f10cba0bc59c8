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
// bus error at the first page past its new end. The tool then ends with exit
// code 1 and one line naming the input, instead of dying without a word; no
// temporary file exists while an input's bytes are read in the process (the
// write of the output reads the mapping in the kernel, where a missing page
// fails the write instead). Called once at start.
void reportShortenedInputsOnBusError();

// An output written to its temporary file and not yet renamed into place.
struct PendingFile {
    std::string path;
    std::string temporary;
};

// Writes the spans one after the other to a new temporary file beside
// `path`, flushes it to the disk and gives it the permissions of the regular
// file it will replace (a new file's, 0666 less the umask, when there is
// none or `path` is a link). On failure the temporary file is removed and
// `error` holds a one-line reason. Nothing is allocated from the creation of
// the temporary file to the end, so an allocation failure cannot leave it
// behind; the caller allocates nothing before commitFile or discardFile.
bool writeTemporaryFile(const std::string& path, const std::vector<ByteView>& spans,
                        PendingFile& pending, std::string& error);

// Renames the temporary file to its path, replacing whatever is there: a
// symbolic link is itself replaced, never followed, so the file it points to
// stays as it was. On failure the temporary file is removed and the path
// left as it was.
bool commitFile(const PendingFile& pending, std::string& error);
void discardFile(const PendingFile& pending);

// writeTemporaryFile then commitFile.
bool writeFileReplacing(const std::string& path, const std::vector<ByteView>& spans,
                        std::string& error);
bool writeFileReplacing(const std::string& path, const std::vector<uint8_t>& bytes,
                        std::string& error);
