// palette-balance: applies the plugin's colour balance to palette files, for
// making palette variants in batches and from scripts.
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "batch_run.h"
#include "file_access.h"
#include "file_job.h"
#include "palette_balance.h"
#include "palette_files.h"
#include "palette_preview.h"
#include "settings_file.h"
#include "tool_messages.h"
#include "tool_options.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

// cmd.exe passes wildcards such as *.png on unexpanded; this asks MinGW-w64's
// C runtime to expand them into file names before main, as a POSIX shell
// does, so that --out-dir takes a folder's files on Windows too.
int _dowildcard = -1;
#endif

namespace {

#ifdef _WIN32
// The program's manifest makes UTF-8 its code page, so file names are
// printed in UTF-8; a console shows them right only while its output code
// page is UTF-8 too. The console outlives the run, so its page is put back.
UINT consoleCodePageBefore = 0;

void restoreConsoleCodePage() { SetConsoleOutputCP(consoleCodePageBefore); }

void printInUtf8OnAConsole() {
    consoleCodePageBefore = GetConsoleOutputCP();
    if (consoleCodePageBefore == 0 || consoleCodePageBefore == CP_UTF8) return;
    if (SetConsoleOutputCP(CP_UTF8)) std::atexit(restoreConsoleCodePage);
}
#endif

constexpr int kExitDone = 0;
constexpr int kExitFileProblem = 1;
constexpr int kExitBadOptions = 2;

// Every failure is one line on stderr: the program, the file when there is
// one, and what is wrong.
int fail(int exitCode, const std::string& path, const char* reason) {
    printMessage(path, reason);
    return exitCode;
}

int fail(int exitCode, const std::string& path, const std::string& reason) {
    return fail(exitCode, path, reason.c_str());
}

// False, with a line that names `path` itself, when it names no file to read:
// a folder ("sub is a folder; skipped"), or on Windows a wildcard that the
// C runtime left as it was because no file matched ("no file matches *.xyz").
bool inputNamesAFile(const std::string& path, std::string& line) {
#ifdef _WIN32
    // '*' and '?' cannot be part of a Windows file name.
    if (path.find_first_of("*?") != std::string::npos) {
        line = "no file matches " + printablePath(path);
        return false;
    }
#endif
    struct stat status;
    if (stat(path.c_str(), &status) == 0 && (status.st_mode & S_IFMT) == S_IFDIR) {
        line = printablePath(path) + " is a folder; skipped";
        return false;
    }
    return true;
}

// --out-dir: the inputs that name no file are said in words, left out and
// counted as skipped in the summary line; the run then ends with exit code 1
// however the others went.
int runBatchOfFiles(ToolOptions options) {
    std::vector<std::string> files;
    for (const std::string& input : options.inputPaths) {
        std::string line;
        if (inputNamesAFile(input, line))
            files.push_back(input);
        else
            printMessage("", line.c_str());
    }
    const size_t skipped = options.inputPaths.size() - files.size();
    options.inputPaths = files;
    const int code = runBatch(options, skipped);
    return skipped > 0 ? kExitFileProblem : code;
}

// --ranges: the table of INPUT's tone ranges on stdout, and the preview when
// asked for; nothing else is written.
int showRanges(const ToolOptions& options) {
    std::string error;
    InputFile input;
    PaletteFile palette;
    if (!inputNamesAFile(options.inputPath, error)) return fail(kExitFileProblem, "", error);
    if (!openInputFile(options.inputPath, input, error) ||
        !parsePaletteBytes(input.bytes, palette, error))
        return fail(kExitFileProblem, options.inputPath, error);
    const std::string table =
        rangesTable(palette.colours, options.state, options.preserveBrightness);
    std::vector<uint8_t> preview;
    if (!options.previewPath.empty() &&
        !makePreview(palette,
                     rebalanceColours(palette.colours, options.state, options.preserveBrightness),
                     options.state, options.preserveBrightness, preview, error))
        return fail(kExitFileProblem, options.inputPath, error);
    closeInputFile(input);
    std::fputs(table.c_str(), stdout);
    if (!options.previewPath.empty() && !writeFileReplacing(options.previewPath, preview, error))
        return fail(kExitFileProblem, options.previewPath, error);
    return kExitDone;
}

// INPUT OUTPUT: one file balanced, OUTPUT's format from --format or its name.
int balanceOneFile(const ToolOptions& options) {
    std::string line;
    if (!inputNamesAFile(options.inputPath, line)) return fail(kExitFileProblem, "", line);
    const FileJob job = {options.inputPath, options.outputPath, options.previewPath, true};
    std::string failedPath, error;
    switch (balanceFile(options, job, failedPath, error)) {
        case JobDone: return kExitDone;
        case JobBadOptions: return fail(kExitBadOptions, failedPath, error);
        case JobFileProblem: break;
    }
    return fail(kExitFileProblem, failedPath, error);
}

// --save-settings must not replace an output or preview that --out-dir
// writes; the run's other files were compared when the options were read.
int checkSavedSettingsApart(const ToolOptions& options) {
    if (options.saveSettingsPath.empty() || options.outputDir.empty()) return kExitDone;
    const std::string output = batchOutputNamed(options, options.saveSettingsPath);
    if (output.empty()) return kExitDone;
    return fail(kExitBadOptions, "",
                "--save-settings and the output " + printablePath(output) + " name the same file");
}

int runTool(const ToolOptions& options) {
    if (options.showRanges) return showRanges(options);
    if (!options.outputDir.empty()) return runBatchOfFiles(options);
    return balanceOneFile(options);
}

// --settings: the file's settings under those the options gave. A file that
// cannot be read or is refused ends the run before anything is written.
int takeToolSettingsFile(ToolOptions& options) {
    if (options.settingsPath.empty()) return kExitDone;
    BalanceSettings fromFile;
    std::string error;
    if (!readSettingsFile(options.settingsPath, fromFile, error))
        return fail(kExitFileProblem, options.settingsPath, error);
    takeSettingsFile(fromFile, options);
    return kExitDone;
}

// --save-settings: this run's settings as state A of a settings file.
int saveToolSettings(const ToolOptions& options) {
    if (options.saveSettingsPath.empty()) return kExitDone;
    const std::string text = formatSettingsText(settingsToSave(options));
    std::string error;
    if (!writeFileReplacing(options.saveSettingsPath,
                            std::vector<uint8_t>(text.begin(), text.end()), error))
        return fail(kExitFileProblem, options.saveSettingsPath, error);
    return kExitDone;
}

}  // namespace

int main(int argc, char** argv) {
    failWritesPastFileSizeLimit();
    readShortenedInputsAsFailures();
    removeTemporaryFilesOnInterrupt();
    ToolOptions options;
    // Allocation failures are the one exception the tool meets; the output
    // file and its temporary file are then as the atomic write leaves them
    // (see writeTemporaryFile).
    try {
        const std::vector<std::string> arguments(argv + 1, argv + argc);
#ifdef _WIN32
        printInUtf8OnAConsole();
#endif
        std::string error;
        if (!parseToolOptions(arguments, options, error))
            return fail(kExitBadOptions, "", error + " (see --help)");
        if (options.showHelp || options.showVersion) {
            const std::string text = options.showVersion ? toolVersionText()
                                     : options.showAllHelp ? toolHelpText()
                                                           : toolShortHelpText();
            std::fputs(text.c_str(), stdout);
            return kExitDone;
        }
        for (const MovedValue& moved : options.movedValues) printMessage("", moved.line.c_str());
        int code = checkSavedSettingsApart(options);
        if (code == kExitDone) code = takeToolSettingsFile(options);
        const bool filesNamed = !options.inputPath.empty() || !options.inputPaths.empty();
        if (code == kExitDone && filesNamed) code = runTool(options);
        return code == kExitDone ? saveToolSettings(options) : code;
    } catch (const std::bad_alloc&) {
        return fail(kExitFileProblem, options.inputPath, "not enough memory");
    }
}
