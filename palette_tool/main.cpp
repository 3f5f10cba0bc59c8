// palette-balance: applies the plugin's colour balance to palette files, for
// making palette variants in batches and from scripts.
#include <cstdint>
#include <cstdio>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "file_access.h"
#include "palette_balance.h"
#include "palette_files.h"
#include "palette_preview.h"
#include "settings_file.h"
#include "tool_options.h"

namespace {

constexpr int kExitDone = 0;
constexpr int kExitFileProblem = 1;
constexpr int kExitBadOptions = 2;

const char kProgramName[] = "palette-balance";

// A file name as a message shows it: a control character (a line break in
// the name, say) as an escape, so that the message stays on one line.
void printPath(const std::string& path) {
    for (char c : path) {
        if (uint8_t(c) < 0x20 || uint8_t(c) == 0x7F)
            std::fprintf(stderr, "\\x%02x", unsigned(uint8_t(c)));
        else
            std::fputc(c, stderr);
    }
}

// Every failure is one line on stderr: the program, the file when there is
// one, and what is wrong. It allocates nothing, so it can also report that
// memory ran out.
int fail(int exitCode, const std::string& path, const char* reason) {
    std::fprintf(stderr, "%s: ", kProgramName);
    if (!path.empty()) {
        printPath(path);
        std::fputs(": ", stderr);
    }
    std::fprintf(stderr, "%s\n", reason);
    return exitCode;
}

int fail(int exitCode, const std::string& path, const std::string& reason) {
    return fail(exitCode, path, reason.c_str());
}

// The output file as pieces of the input file and of the new bytes.
std::vector<ByteSpan> outputSpans(const PaletteFile& palette, const PaletteOutput& output) {
    std::vector<ByteSpan> spans;
    for (const OutputPiece& piece : output.pieces)
        spans.push_back({(piece.kept ? palette.bytes : output.fresh).data() + piece.offset,
                         piece.size});
    return spans;
}

// Draws the --preview picture in memory, before anything is written, so that
// an input picture that cannot be decoded stops the run with nothing written.
bool makeToolPreview(const ToolOptions& options, const PaletteFile& palette,
                     const std::vector<PaletteColour>& colours, std::vector<uint8_t>& preview,
                     std::string& error) {
    return options.previewPath.empty() ||
           makePreview(palette, colours, options.state, options.preserveBrightness, preview, error);
}

int writeToolPreview(const ToolOptions& options, const std::vector<uint8_t>& preview) {
    std::string error;
    if (!options.previewPath.empty() && !writeFileReplacing(options.previewPath, preview, error))
        return fail(kExitFileProblem, options.previewPath, error);
    return kExitDone;
}

int runTool(const ToolOptions& options) {
    std::string error;
    std::vector<uint8_t> bytes;
    PaletteFile palette;
    if (!readWholeFile(options.inputPath, bytes, error) ||
        !parsePalette(std::move(bytes), palette, error))
        return fail(kExitFileProblem, options.inputPath, error);

    std::vector<uint8_t> preview;
    if (options.showRanges) {
        const std::string table =
            rangesTable(palette.colours, options.state, options.preserveBrightness);
        if (!options.previewPath.empty() &&
            !makeToolPreview(
                options, palette,
                rebalanceColours(palette.colours, options.state, options.preserveBrightness),
                preview, error))
            return fail(kExitFileProblem, options.inputPath, error);
        std::fputs(table.c_str(), stdout);
        return writeToolPreview(options, preview);
    }

    PaletteFormat format;
    if (!chooseOutputFormat(options, palette.format, format, error))
        return fail(kExitBadOptions, options.outputPath, error);
    const std::vector<PaletteColour> colours =
        rebalanceColours(palette.colours, options.state, options.preserveBrightness);
    if (!makeToolPreview(options, palette, colours, preview, error))
        return fail(kExitFileProblem, options.inputPath, error);
    PaletteOutput output;
    if (!composePalette(palette, colours, format, paletteNameFromPath(options.outputPath), output,
                        error) ||
        !writeFileReplacing(options.outputPath, outputSpans(palette, output), error))
        return fail(kExitFileProblem, options.outputPath, error);
    return writeToolPreview(options, preview);
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
    ToolOptions options;
    // Allocation failures are the one exception the tool meets; the output
    // file and its temporary file are then as the atomic write leaves them
    // (see writeFileReplacing).
    try {
        const std::vector<std::string> arguments(argv + 1, argv + argc);
        std::string error;
        if (!parseToolOptions(arguments, options, error))
            return fail(kExitBadOptions, "", error + " (see --help)");
        if (options.showHelp) {
            std::fputs(toolHelpText().c_str(), stdout);
            return kExitDone;
        }
        int code = takeToolSettingsFile(options);
        if (code == kExitDone && !options.inputPath.empty()) code = runTool(options);
        return code == kExitDone ? saveToolSettings(options) : code;
    } catch (const std::bad_alloc&) {
        return fail(kExitFileProblem, options.inputPath, "not enough memory");
    }
}
