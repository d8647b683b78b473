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
#include <string>

#include "run/progress.h"
#include "system/input_file.h"
#include "system/output_file.h"

// How a run reaches its files: main opens the paths on the command line,
// tests may open anything behind the same interfaces.
struct TrimFiles {
  std::function<std::unique_ptr<InputFile>()> openLog;      // once for each pass
  std::function<std::unique_ptr<OutputFile>()> openOutput;  // once, for the output pass
  // The file the output would replace, for reading (null when none), once
  // before the first pass; none is looked at without it.
  std::function<std::unique_ptr<InputFile>()> openExistingOutput = {};
  // The output's path as given, for the refusal of a compressed file's name
  // (decode/decoded_log.h); empty for standard output.
  std::string outputName = {};
};

// Where a run's notes go: each is one line, without its line break, for
// standard error.
using NoteSink = std::function<void(const std::string& line)>;

// Cuts the log into the output, showing the run on progress, and leaves the
// summary there. Each result that stays whole though it looks too large
// (large_results.h) goes to note as "<log>:<line>: note: ...", once the
// gathering pass has read the log, the status line erased first; so does an
// output written in place ("<output>: note: written in place, ..."), before
// the output pass, and what a replaced output could not keep of the previous
// file (file_attributes.h), once the cut is in place. Throws a Failure when a file
// cannot be opened, read, written or closed, when the log is no log to cut (a compressed file or an
// archive, a log in UTF-16, a log that is cut already), when the output is the log or named as a
// compressed file, or when the log
// changes during the run; the refusals come before the output is opened.
void trimLog(const TrimFiles& files, Progress& progress, const NoteSink& note = {});

#endif  // STREAMTRIM_TRIM_RUN_H
