// What the programs share at their end, on every system: standard output
// handed back whole or the failure reported.

#include <cerrno>
#include <cstdio>

#include "system/command_line.h"

bool closeStandardOutput(const char* program) {
  bool ok = std::fflush(stdout) == 0 && !std::ferror(stdout);
  int error = errno;
  std::string reason = ok ? "" : standardStreamError(error);
  if (std::fclose(stdout) != 0 && ok) {
    ok = false;
    error = errno;
    reason = standardStreamError(error);
  }
  if (ok)
    return true;
  if (error == EPIPE)
    endByBrokenPipe();
  std::fprintf(stderr, "%s: standard output: %s\n", program, reason.c_str());
  return false;
}
