// palette-balance --out-dir=DIR INPUT...: every input balanced into DIR in
// one process with settings parsed once, one line per file on stderr.
#pragma once

#include "tool_options.h"

// Makes DIR when it is missing, then balances each input in turn; a file that
// fails does not stop the others. `skipped` inputs named no file and were
// left out before the run; the summary line counts them. Returns the exit
// status: 0 when every file was written and none skipped, 1 otherwise or
// when DIR cannot be made.
int runBatch(const ToolOptions& options, size_t skipped = 0);

// The output or preview of this run's plan that `path` names (compared by
// file identity), or "" when it names none of them.
std::string batchOutputNamed(const ToolOptions& options, const std::string& path);
