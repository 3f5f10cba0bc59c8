#include "batch_run.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "file_access.h"
#include "file_job.h"
#include "tool_messages.h"

namespace {

// A progress line is shown for runs of more files than this, when stderr is
// a terminal.
constexpr size_t kProgressAfterFiles = 5;

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
    const FileIdentity output = fileIdentityOf(job.outputPath);
    const FileIdentity preview =
        previewName.empty() ? FileIdentity{} : fileIdentityOf(job.previewPath);
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
    for (const std::string& input : options.inputPaths) plan.inputs.push_back(fileIdentityOf(input));
    // The settings file is an input of the run too, though no output is its own.
    if (!options.settingsPath.empty()) plan.inputs.push_back(fileIdentityOf(options.settingsPath));
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

// ---- Files in groups ------------------------------------------------------------

// Outputs are written in groups of this many files at most, flushed to the
// disk together and then renamed into place, so that a folder of small
// files costs one flush of the disk per group instead of one per file.
constexpr size_t kGroupFiles = 64;

// A file of the group being written: its line, or its pending outputs.
struct GroupFile {
    const BatchFile* file;
    std::string failure;   // the line's text after "INPUT: " when it failed
    size_t firstPending;   // its outputs in the group's pending files
    size_t pendingCount;
};

struct BatchCounts {
    size_t done, failed, skipped;
};

// Balances one planned file into the group; its line waits for the group.
void addToGroup(const ToolOptions& options, const BatchFile& file, std::vector<GroupFile>& group,
                std::vector<PendingFile>& pending) {
    GroupFile entry = {&file, file.refusal, pending.size(), 0};
    std::string failedPath, error;
    if (entry.failure.empty() &&
        balanceFile(options, file.job, failedPath, error, &pending) != JobDone)
        entry.failure =
            failedPath == file.job.inputPath ? error : printablePath(failedPath) + ": " + error;
    entry.pendingCount = pending.size() - entry.firstPending;
    group.push_back(entry);
}

// Renames one file's flushed outputs into place; false with the reason.
bool commitGroupFile(const GroupFile& entry, const std::vector<PendingFile>& pending,
                     std::string& failure) {
    bool committed = true;
    for (size_t i = 0; i < entry.pendingCount; ++i) {
        const PendingFile& file = pending[entry.firstPending + i];
        std::string error;
        if (!committed) {
            discardFile(file);
        } else if (!commitFile(file, error, false)) {
            failure = printablePath(file.path) + ": " + error;
            committed = false;
        }
    }
    return committed;
}

// Flushes the group's outputs, renames them into place, flushes DIR once and
// prints each file's line in the order of the inputs.
void finishGroup(const ToolOptions& options, std::vector<GroupFile>& group,
                 std::vector<PendingFile>& pending, BatchCounts& counts, Progress& progress) {
    std::string flushError;
    const bool flushed = flushPendingFiles(pending, flushError);
    for (GroupFile& entry : group) {
        if (entry.failure.empty() && !flushed) {
            entry.failure = printablePath(entry.file->job.outputPath) + ": " + flushError;
            for (size_t i = 0; i < entry.pendingCount; ++i) discardFile(pending[entry.firstPending + i]);
        } else if (entry.failure.empty()) {
            commitGroupFile(entry, pending, entry.failure);
        }
    }
    flushFolderOf(insideFolder(options.outputDir, "."));
    for (const GroupFile& entry : group) {
        const FileJob& job = entry.file->job;
        clearProgress(progress);
        std::string line = entry.failure;
        if (line.empty()) {
            line = "written to " + printablePath(job.outputPath);
            if (!job.previewPath.empty()) line += " and " + printablePath(job.previewPath);
        }
        printMessage(job.inputPath, line.c_str());
        ++(entry.failure.empty() ? counts.done : counts.failed);
        showProgress(progress, counts.done + counts.failed, counts.failed);
    }
    group.clear();
    pending.clear();
}

// "12 files: 9 written, 3 failed", the line a run over a folder ends with;
// ", 1 skipped" follows when inputs named no file.
void printSummary(const BatchCounts& counts) {
    char line[128];
    const unsigned long total = static_cast<unsigned long>(counts.done + counts.failed + counts.skipped);
    int length = std::snprintf(line, sizeof line, "%lu %s: %lu written, %lu failed", total,
                               total == 1 ? "file" : "files", static_cast<unsigned long>(counts.done),
                               static_cast<unsigned long>(counts.failed));
    if (counts.skipped > 0 && length > 0 && size_t(length) < sizeof line)
        std::snprintf(line + length, sizeof line - size_t(length), ", %lu skipped",
                      static_cast<unsigned long>(counts.skipped));
    printMessage("", line);
}

}  // namespace

std::string batchOutputNamed(const ToolOptions& options, const std::string& path) {
    const FileIdentity named = fileIdentityOf(path);
    for (const BatchFile& file : planBatch(options)) {
        if (!file.refusal.empty()) continue;
        for (const std::string& written : {file.job.outputPath, file.job.previewPath})
            if (!written.empty() && sameFile(named, fileIdentityOf(written))) return written;
    }
    return "";
}

int runBatch(const ToolOptions& options, size_t skipped) {
    std::string error;
    if (!makeFolder(options.outputDir, error)) {
        printMessage(options.outputDir, error.c_str());
        return 1;
    }
    const std::vector<BatchFile> files = planBatch(options);
    Progress progress = startProgress(files.size());
    BatchCounts counts = {0, 0, skipped};
    std::vector<GroupFile> group;
    std::vector<PendingFile> pending;
    for (const BatchFile& file : files) {
        addToGroup(options, file, group, pending);
        if (group.size() == kGroupFiles) finishGroup(options, group, pending, counts, progress);
    }
    finishGroup(options, group, pending, counts, progress);
    clearProgress(progress);
    printSummary(counts);
    return counts.failed == 0 && counts.skipped == 0 ? 0 : 1;
}
