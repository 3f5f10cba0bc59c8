#include "file_job.h"

#include <cstdint>
#include <vector>

#include "file_access.h"
#include "palette_balance.h"
#include "palette_preview.h"

namespace {

// The output file as pieces of the input file and of the new bytes.
std::vector<ByteView> outputSpans(const PaletteFile& palette, const PaletteOutput& output) {
    std::vector<ByteView> spans;
    for (const OutputPiece& piece : output.pieces)
        spans.push_back({(piece.kept ? palette.bytes.data() : output.fresh.data()) + piece.offset,
                         piece.size});
    return spans;
}

// --format, or the output's name (the run's one OUTPUT), or the input's own.
bool chooseJobFormat(const ToolOptions& options, const FileJob& job, PaletteFormat inputFormat,
                     PaletteFormat& format, std::string& error) {
    if (job.formatFromName) return chooseOutputFormat(options, inputFormat, format, error);
    format = options.formatGiven ? options.outputFormat : inputFormat;
    return true;
}

// The output's bytes go to their temporary file while the input is still
// open, since the kept pieces point into it; the input is closed before the
// rename, because Windows does not replace a file that is mapped.
bool writeOutput(const FileJob& job, InputFile& input, const PaletteFile& palette,
                 const PaletteOutput& output, std::string& error) {
    PendingFile pending;
    if (!writeTemporaryFile(job.outputPath, outputSpans(palette, output), pending, error))
        return false;
    closeInputFile(input);
    return commitFile(pending, error);
}

}  // namespace

JobOutcome balanceFile(const ToolOptions& options, const FileJob& job, std::string& failedPath,
                       std::string& error) {
    InputFile input;
    PaletteFile palette;
    failedPath = job.inputPath;
    if (!openInputFile(job.inputPath, input, error) ||
        !parsePaletteBytes(input.bytes, palette, error)) {
        closeInputFile(input);
        return JobFileProblem;
    }
    PaletteFormat format;
    if (!chooseJobFormat(options, job, palette.format, format, error)) {
        closeInputFile(input);
        failedPath = job.outputPath;
        return JobBadOptions;
    }
    const std::vector<PaletteColour> colours =
        rebalanceColours(palette.colours, options.state, options.preserveBrightness);
    std::vector<uint8_t> preview;
    if (!job.previewPath.empty() &&
        !makePreview(palette, colours, options.state, options.preserveBrightness, preview,
                     error)) {
        closeInputFile(input);
        return JobFileProblem;
    }
    PaletteOutput output;
    failedPath = job.outputPath;
    const bool written =
        composePalette(palette, colours, format, paletteNameFromPath(job.outputPath), output,
                       error) &&
        writeOutput(job, input, palette, output, error);
    closeInputFile(input);
    if (!written) return JobFileProblem;
    failedPath = job.previewPath;
    if (!job.previewPath.empty() && !writeFileReplacing(job.previewPath, preview, error))
        return JobFileProblem;
    return JobDone;
}
