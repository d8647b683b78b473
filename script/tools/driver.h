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
