// palette-balance: applies the plugin's colour balance to palette files, for
// making palette variants in batches and from scripts.
#include <cstdio>
#include <string>
#include <vector>

#include "file_access.h"
#include "palette_balance.h"
#include "palette_files.h"
#include "palette_preview.h"
#include "tool_options.h"

namespace {

constexpr int kExitDone = 0;
constexpr int kExitFileProblem = 1;
constexpr int kExitBadOptions = 2;

const char kProgramName[] = "palette-balance";

// Every failure is one line on stderr: the program, the file when there is
// one, and what is wrong.
int fail(int exitCode, const std::string& path, const std::string& reason) {
    if (path.empty())
        std::fprintf(stderr, "%s: %s\n", kProgramName, reason.c_str());
    else
        std::fprintf(stderr, "%s: %s: %s\n", kProgramName, path.c_str(), reason.c_str());
    return exitCode;
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
    if (!readWholeFile(options.inputPath, bytes, error) || !parsePalette(bytes, palette, error))
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
    std::vector<uint8_t> out;
    if (!writePalette(palette, colours, format, paletteNameFromPath(options.outputPath), out,
                      error) ||
        !writeFileReplacing(options.outputPath, out, error))
        return fail(kExitFileProblem, options.outputPath, error);
    return writeToolPreview(options, preview);
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    ToolOptions options;
    std::string error;
    if (!parseToolOptions(arguments, options, error))
        return fail(kExitBadOptions, "", error + " (see --help)");
    if (options.showHelp) {
        std::fputs(toolHelpText().c_str(), stdout);
        return kExitDone;
    }
    return runTool(options);
}
