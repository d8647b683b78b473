// What each system hands a program at its start: its arguments and its
// standard streams (command_line_posix.cpp, command_line_windows.cpp), and
// how a program hands standard output back at its end (command_line.cpp).

#ifndef STREAMTRIM_COMMAND_LINE_H
#define STREAMTRIM_COMMAND_LINE_H

#include <string>
#include <vector>

// The arguments after the program's name, in UTF-8 whatever the system's
// own encoding of them: a path in any language reaches the file layer
// whole.
std::vector<std::string> commandLineArguments(int argc, char** argv);

// The program's name as it was started (argv[0]), in UTF-8 like the
// arguments, as the usage text names it; fallback when there is none.
std::string programName(int argc, char** argv, const char* fallback);

// Whether something in the file system bears the name: a file, a directory,
// a link (also one that points nowhere). False only when the system says
// nothing does; any other answer (no permission to look) counts as taken,
// so that an argument that may name a file is always taken as its path.
bool nameIsTaken(const std::string& path);

// Readies the standard streams before any file is opened: a closed standard
// descriptor is filled, so that a log or an output never stands where
// standard output or error is expected; standard output takes bytes as they
// are; and a write to a pipe whose reader has gone fails with BrokenPipe
// instead of ending the process at once. Called first thing in main.
void prepareStandardStreams();

// Why the C library's last write to a standard stream failed, errno being
// error then: the C library's words on POSIX, the system's on Windows (the
// C runtime's errno loses the reason there: a pipe whose reader has gone
// becomes "Invalid argument"), as the file layer gives them.
std::string standardStreamError(int error);

// Ends the process as a pipeline ends when its reader quits early: on POSIX
// by the SIGPIPE signal (shells show status 141), with no message. Returns
// only when that signal was ignored by whoever started the program; the
// caller then reports the failure as any other.
void endByBrokenPipe();

// Flushes and closes standard output at the end of a program that wrote
// through the C library's stdout (a report, a version, a usage text): true
// when it took every byte. Otherwise a reader that quit early ends the
// process by endByBrokenPipe, and any other failure, or that one with
// SIGPIPE ignored, is reported as "<program>: standard output: <reason>" on
// standard error and gives false.
bool closeStandardOutput(const char* program);

#endif  // STREAMTRIM_COMMAND_LINE_H
