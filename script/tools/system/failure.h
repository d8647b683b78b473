// How streamtrim reports a failure.
//
// Every failure the tool can meet (a file that cannot be opened, read or
// written, an input that changes under it) ends the run with one line on
// standard error, "<program>: <what>: <reason>": "streamtrim: ..." with exit
// status 1 for the tool, "streamtrim-verify: ..." with status 2 (could not
// check) for the checker. The code that detects the failure throws; only
// each program's main catches and prints it, so no layer in between can lose
// an error or carry on after one. Besides main, only the tool's usage() and
// the checker's argument parser (its usage errors, --help and --version) end
// the process themselves.

#ifndef STREAMTRIM_FAILURE_H
#define STREAMTRIM_FAILURE_H

#include <stdexcept>
#include <string>
#include <string_view>

// A file name as a message shows it: control bytes (a newline, an escape)
// become \xNN, so that one failure stays one line and nothing in a name can
// steer the terminal. Every other byte, UTF-8 and backslashes included, is
// kept.
std::string printableName(std::string_view name);

// Thrown for every reportable failure; what() is "<what>: <reason>", the
// subject shown by printableName.
class Failure : public std::runtime_error {
 public:
  Failure(const std::string& subject, const std::string& reason)
      : std::runtime_error(printableName(subject) + ": " + reason) {}
};

// Thrown when the reader of a pipe the output goes to has gone, as when the
// cut log is piped into head. A pipeline ends quietly then (see
// endByBrokenPipe in command_line.h), unless the signal that ends it was set
// to be ignored by whoever started the tool.
class BrokenPipe : public Failure {
 public:
  using Failure::Failure;
};

// Throws a Failure whose reason is the system's message for errnum.
[[noreturn]] void failWithErrno(const std::string& subject, int errnum);

#endif  // STREAMTRIM_FAILURE_H
