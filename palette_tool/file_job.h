// One input balanced into one output, and its preview: the work a run does
// for each file, whether it names one file or a folder of them.
#pragma once

#include <string>

#include "palette_files.h"
#include "tool_options.h"

struct FileJob {
    std::string inputPath;
    std::string outputPath;
    std::string previewPath;  // empty: no preview
    // The output's format comes from --format or, when that is not given,
    // from the name of the run's OUTPUT (true) or from the input's own
    // format (false).
    bool formatFromName;
};

enum JobOutcome { JobDone, JobFileProblem, JobBadOptions };

// False, with a line that names `path` itself, when it names no file to read:
// a folder ("sub is a folder; skipped"), or on Windows a wildcard that the
// C runtime left as it was because no file matched ("no file matches *.xyz").
bool inputNamesAFile(const std::string& path, std::string& line);

// Reads the input, rebalances its colours with the run's settings, and
// writes the output and the preview, each through a temporary file renamed
// into place. The preview is drawn before anything is written, so an input
// picture that cannot be decoded leaves nothing behind. On failure returns
// the outcome with the file it concerns in `failedPath` and a one-line reason;
// `failedPath` is empty when the reason names the input itself.
JobOutcome balanceFile(const ToolOptions& options, const FileJob& job, std::string& failedPath,
                       std::string& error);
