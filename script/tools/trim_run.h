// One run of streamtrim: the gathering pass over the log, then the output
// pass into the cut log.
//
// The log is opened afresh for each pass, so that a log replaced between the
// passes is seen to be another file. The output is opened only once the
// gathering pass has read the log whole and the log is open again for the
// output pass: a log that cannot be read, or cannot be opened a second time
// (renamed, deleted, its permissions changed, or held for a moment by a
// virus scanner or a backup agent), does not even create the output's
// temporary file (output_file.h). A failure after that leaves an existing
// output as it was too, as the output replaces it only when closed.

#ifndef STREAMTRIM_TRIM_RUN_H
#define STREAMTRIM_TRIM_RUN_H

#include <functional>
#include <memory>

#include "input_file.h"
#include "output_file.h"
#include "progress.h"

// How a run reaches its files: main opens the paths on the command line,
// tests may open anything behind the same interfaces.
struct TrimFiles {
  std::function<std::unique_ptr<InputFile>()> openLog;      // once for each pass
  std::function<std::unique_ptr<OutputFile>()> openOutput;  // once, for the output pass
};

// Cuts the log into the output, showing the run on progress, and leaves the
// summary there. Throws a Failure when a file cannot be opened, read, written
// or closed, when the log starts with a UTF-16 byte-order mark, when the
// output is the log, or when the log changes during the run.
void trimLog(const TrimFiles& files, Progress& progress);

#endif  // STREAMTRIM_TRIM_RUN_H
