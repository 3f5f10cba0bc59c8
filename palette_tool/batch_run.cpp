#include "batch_run.h"

#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "file_job.h"
#include "tool_messages.h"

namespace {

// A progress line is shown for runs of more files than this, when stderr is
// a terminal.
constexpr size_t kProgressAfterFiles = 5;

// An existing file as the file system knows it, so that two names of one
// file (a link, "./a.png" and "a.png") are seen to be one.
struct FileIdentity {
    bool exists;
    uint64_t device, index;
};

FileIdentity identityOf(const std::string& path) {
    FileIdentity identity = {false, 0, 0};
#ifdef _WIN32
    HANDLE file =
        CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return identity;
    BY_HANDLE_FILE_INFORMATION information;
    if (GetFileInformationByHandle(file, &information))
        identity = {true, information.dwVolumeSerialNumber,
                    uint64_t(information.nFileIndexHigh) << 32 | information.nFileIndexLow};
    CloseHandle(file);
#else
    struct stat status;
    if (stat(path.c_str(), &status) == 0)
        identity = {true, uint64_t(status.st_dev), uint64_t(status.st_ino)};
#endif
    return identity;
}

bool sameFile(const FileIdentity& a, const FileIdentity& b) {
    return a.exists && b.exists && a.device == b.device && a.index == b.index;
}

// Names as the file system compares them: without regard to case on Windows.
std::string nameKey(const std::string& name) {
#ifdef _WIN32
    return lowerCase(name);
#else
    return name;
#endif
}

// DIR's own separator joins it to the name, so that a path is printed with
// one kind: '\\' on Windows unless DIR was typed with '/' only.
std::string insideFolder(const std::string& folder, const std::string& name) {
    const char last = folder.back();
#ifdef _WIN32
    const bool slashes = folder.find('/') != std::string::npos && folder.find('\\') == std::string::npos;
    const char* separator = slashes ? "/" : "\\";
#else
    const char* separator = "/";
#endif
    return last == '/' || last == '\\' ? folder + name : folder + separator + name;
}

// The input's own name, or with --format its name with that format's
// extension (kept when it already is that extension, as .pal for both
// JASC and RIFF).
std::string outputNameFor(const std::string& input, const ToolOptions& options) {
    const std::string name = fileNameOf(input);
    if (!options.formatGiven) return name;
    const std::string extension = formatExtension(options.outputFormat);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0 && lowerCase(name.substr(dot)) == extension)
        return name;
    return paletteNameFromPath(name) + extension;  // the name without its extension
}

std::string previewNameFor(const std::string& outputName) {
    return paletteNameFromPath(outputName) + "-preview.png";
}

// One input of the run: where it goes, or why it does not.
struct BatchFile {
    FileJob job;
    std::string refusal;  // empty when it is written
};

// The record the plan is checked against: every input as it is before the
// run writes anything, and the names already given to outputs and previews.
struct BatchPlan {
    std::vector<FileIdentity> inputs;
    std::set<std::string> namesWritten;
};

// Why the file's output or preview must not be written: it would replace a
// file another input of the run writes, or an input of the run (its own
// input only with --in-place). Empty when it may.
std::string refusalFor(const BatchPlan& plan, size_t index, const std::string& outputName,
                       const std::string& previewName, const FileJob& job,
                       const ToolOptions& options) {
    if (plan.namesWritten.count(nameKey(outputName)))
        return printablePath(job.outputPath) + ": another input of this run is written there";
    if (!previewName.empty() && plan.namesWritten.count(nameKey(previewName)))
        return printablePath(job.previewPath) +
               ": another input's output or preview is written there";
    const FileIdentity output = identityOf(job.outputPath);
    const FileIdentity preview =
        previewName.empty() ? FileIdentity{false, 0, 0} : identityOf(job.previewPath);
    for (size_t other = 0; other < plan.inputs.size(); ++other) {
        if (sameFile(preview, plan.inputs[other]))
            return printablePath(job.previewPath) +
                   ": the preview would replace an input of this run";
        if (!sameFile(output, plan.inputs[other])) continue;
        // The same file named twice is one input, written once.
        if (!sameFile(plan.inputs[other], plan.inputs[index]))
            return printablePath(job.outputPath) + ": the output would replace another input of "
                                                   "this run";
        if (!options.inPlace)
            return printablePath(job.outputPath) +
                   ": the output would replace its input (give --in-place to allow it)";
    }
    return "";
}

// Each input's output and preview in DIR, with the refusals decided before
// any file is written.
std::vector<BatchFile> planBatch(const ToolOptions& options) {
    BatchPlan plan;
    for (const std::string& input : options.inputPaths) plan.inputs.push_back(identityOf(input));
    std::vector<BatchFile> files;
    for (size_t i = 0; i < options.inputPaths.size(); ++i) {
        const std::string& input = options.inputPaths[i];
        const std::string outputName = outputNameFor(input, options);
        const std::string previewName = options.previewEach ? previewNameFor(outputName) : "";
        BatchFile file;
        file.job = {input, insideFolder(options.outputDir, outputName),
                    previewName.empty() ? "" : insideFolder(options.outputDir, previewName),
                    false};
        file.refusal = refusalFor(plan, i, outputName, previewName, file.job, options);
        if (file.refusal.empty()) {
            plan.namesWritten.insert(nameKey(outputName));
            if (!previewName.empty()) plan.namesWritten.insert(nameKey(previewName));
        }
        files.push_back(file);
    }
    return files;
}

bool makeFolder(const std::string& folder, std::string& error) {
    std::error_code code;
    // u8path: the C++ library reads a plain string in its own code page, not
    // the process's, which is UTF-8 on Windows (the program's manifest).
    std::filesystem::create_directories(std::filesystem::u8path(folder), code);
    if (std::filesystem::is_directory(std::filesystem::u8path(folder))) return true;
    error = code ? "cannot make the folder: " + code.message() : "not a folder";
    return false;
}

// ---- The progress line --------------------------------------------------------

struct Progress {
    bool shown;
    size_t total;
    size_t width;  // of the line last written, to blank it out
};

Progress startProgress(size_t total) {
#ifdef _WIN32
    const bool terminal = _isatty(_fileno(stderr)) != 0;
#else
    const bool terminal = isatty(fileno(stderr)) != 0;
#endif
    return {terminal && total > kProgressAfterFiles, total, 0};
}

// The line is written without a line end, so that the next one replaces it.
void showProgress(Progress& progress, size_t done, size_t failed) {
    if (!progress.shown) return;
    char line[96];
    const int width = std::snprintf(line, sizeof line, "%s: %lu of %lu files, %lu failed",
                                    kProgramName, static_cast<unsigned long>(done),
                                    static_cast<unsigned long>(progress.total),
                                    static_cast<unsigned long>(failed));
    std::fprintf(stderr, "%s\r", line);
    progress.width = width > 0 ? size_t(width) : 0;
}

void clearProgress(Progress& progress) {
    if (!progress.shown || progress.width == 0) return;
    std::fprintf(stderr, "%*s\r", int(progress.width), "");
    progress.width = 0;
}

// ---- One file ---------------------------------------------------------------

// Balances one planned file and prints its line; true when it was written.
bool runBatchFile(const ToolOptions& options, const BatchFile& file) {
    const FileJob& job = file.job;
    if (!file.refusal.empty()) {
        printMessage(job.inputPath, file.refusal.c_str());
        return false;
    }
    std::string failedPath, error;
    if (balanceFile(options, job, failedPath, error) != JobDone) {
        const std::string reason =
            failedPath == job.inputPath ? error : printablePath(failedPath) + ": " + error;
        printMessage(job.inputPath, reason.c_str());
        return false;
    }
    std::string done = "written to " + printablePath(job.outputPath);
    if (!job.previewPath.empty()) done += " and " + printablePath(job.previewPath);
    printMessage(job.inputPath, done.c_str());
    return true;
}

}  // namespace

int runBatch(const ToolOptions& options) {
    std::string error;
    if (!makeFolder(options.outputDir, error)) {
        printMessage(options.outputDir, error.c_str());
        return 1;
    }
    const std::vector<BatchFile> files = planBatch(options);
    Progress progress = startProgress(files.size());
    size_t failed = 0;
    for (size_t i = 0; i < files.size(); ++i) {
        clearProgress(progress);
        if (!runBatchFile(options, files[i])) ++failed;
        showProgress(progress, i + 1, failed);
    }
    clearProgress(progress);
    return failed == 0 ? 0 : 1;
}
