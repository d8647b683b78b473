// How streamtrim reports a failure.
//
// Every failure the tool can meet (a file that cannot be opened, read or
// written, an input that changes under it) ends the run with one line on
// standard error, "streamtrim: <what>: <reason>", and exit status 1. The code
// that detects the failure throws; only main catches, prints and exits, so no
// layer in between can lose an error or carry on after one.

#ifndef STREAMTRIM_FAILURE_H
#define STREAMTRIM_FAILURE_H

#include <stdexcept>
#include <string>

// Thrown for every reportable failure; what() is "<what>: <reason>".
class Failure : public std::runtime_error {
 public:
  Failure(const std::string& subject, const std::string& reason)
      : std::runtime_error(subject + ": " + reason) {}
};

// Throws a Failure whose reason is the system's message for errnum.
[[noreturn]] void failWithErrno(const std::string& subject, int errnum);

#endif  // STREAMTRIM_FAILURE_H
