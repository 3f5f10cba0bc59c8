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

// Reads the input, rebalances its colours with the run's settings, and
// writes the output and the preview, each through a temporary file renamed
// into place. The preview is drawn before anything is written, so an input
// picture that cannot be decoded leaves nothing behind. On failure returns
// the outcome with the file it concerns in `failedPath` and a one-line reason.
JobOutcome balanceFile(const ToolOptions& options, const FileJob& job, std::string& failedPath,
                       std::string& error);
