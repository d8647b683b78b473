// script/tools/ holds at its top the tool's spine, which a reader follows
// from main to the last written byte: the driver (this file), the two-pass
// run (trim_run.h), the scanner (scanner.h) with its cutting step
// (result_cutter.h) and large-result notes (large_results.h), and the
// sampler (sampler.h) with its sequence. The folders below hold one job
// each: run/, log/, row_scan/ and system/ beneath the spine, checker/ above
// it; an include never reaches up to a folder above its own
// (.ci/check-layout).
//
// The streamtrim command: "streamtrim <inputfile> [<outputfile>]", and
// "streamtrim --version", "streamtrim --help" (or -h) when no file bears
// that name.
//
// main checks the command line and has trimLog (trim_run.h) cut the log
// into the output: a file, or standard output when the second argument is
// missing or empty. Exit status: 0 when the whole output was written, 1 on
// misuse (with the usage text) or any failure (with one line on standard
// error); a failure before the output pass leaves the output untouched.
// --version prints "streamtrim <version>" and --help the usage text, on
// standard output, with status 0 once written and 1 when not.
// When standard error is a terminal that the output does not go to, it also
// shows the run's progress and a summary there (progress.h).

#ifndef STREAMTRIM_DRIVER_H
#define STREAMTRIM_DRIVER_H

// The name the tool was invoked by, for the usage text.
extern const char* progname;

// Prints the usage text on standard error and ends the process with status 1.
[[noreturn]] void usage();

#endif  // STREAMTRIM_DRIVER_H
