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
// open, since the kept pieces point into it; an input another program
// shortened meanwhile gives no output. The input is closed before the
// rename, because Windows does not replace a file that is mapped.
bool writeOutput(const FileJob& job, InputFile& input, const PaletteFile& palette,
                 const PaletteOutput& output, PendingFile& pending, FlushTiming timing,
                 std::string& failedPath, std::string& error) {
    failedPath = job.outputPath;
    const bool written =
        writeTemporaryFile(job.outputPath, outputSpans(palette, output), pending, error, timing);
    if (inputWasShortened(input)) {
        if (written) discardFile(pending);
        failedPath = job.inputPath;
        error = kInputShortenedReason;
        return false;
    }
    closeInputFile(input);
    return written;
}

// The preview, written at once or left pending with the output.
bool writePreview(const FileJob& job, const std::vector<uint8_t>& preview,
                  std::vector<PendingFile>* deferred, std::string& error) {
    if (!deferred) return writeFileReplacing(job.previewPath, preview, error);
    PendingFile pending;
    if (!writeTemporaryFile(job.previewPath, {viewOf(preview)}, pending, error, FlushLater))
        return false;
    deferred->push_back(pending);
    return true;
}

}  // namespace

JobOutcome balanceFile(const ToolOptions& options, const FileJob& job, std::string& failedPath,
                       std::string& error, std::vector<PendingFile>* deferred) {
    InputFile input;
    PaletteFile palette;
    failedPath = job.inputPath;
    if (!openInputFile(job.inputPath, input, error) ||
        !parsePaletteBytes(input.bytes, palette, error)) {
        // Bytes read as zeros past a shortened input's end make it look malformed.
        if (inputWasShortened(input)) error = kInputShortenedReason;
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
    PendingFile pending;
    failedPath = job.outputPath;
    const bool written =
        composePalette(palette, colours, format, paletteNameFromPath(job.outputPath), output,
                       error) &&
        writeOutput(job, input, palette, output, pending, deferred ? FlushLater : FlushNow,
                    failedPath, error) &&
        (deferred || commitFile(pending, error));
    closeInputFile(input);
    if (!written) return JobFileProblem;
    failedPath = job.previewPath;
    if (!job.previewPath.empty() && !writePreview(job, preview, deferred, error)) {
        if (deferred) discardFile(pending);
        return JobFileProblem;
    }
    if (deferred) deferred->insert(deferred->end() - (job.previewPath.empty() ? 0 : 1), pending);
    return JobDone;
}
