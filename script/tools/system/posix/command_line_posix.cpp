// The command line and standard streams on POSIX systems.

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "system/command_line.h"

namespace {

bool brokenPipeIgnored = false;  // by whoever started the program

}  // namespace

std::vector<std::string> commandLineArguments(int argc, char** argv) {
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

std::string programName(int argc, char** argv, const char* fallback) {
  return argc > 0 && argv[0] != nullptr ? argv[0] : fallback;
}

bool nameIsTaken(const std::string& path) {
  struct stat info;
  return ::lstat(path.c_str(), &info) == 0 || (errno != ENOENT && errno != ENOTDIR);
}

std::string standardStreamError(int error) {
  return std::strerror(error);
}

void prepareStandardStreams() {
  // A closed standard descriptor would be handed out by the next open(). It
  // gets /dev/null, opened read-only so that writing to a closed standard
  // output still fails and is reported.
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) == -1)
      ::open("/dev/null", O_RDONLY);
  }
  // Ignored, the signal lets a failed write return EPIPE, so that the status
  // line can be erased before the process ends by the signal after all.
  struct sigaction previous;
  struct sigaction ignore = {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  if (::sigaction(SIGPIPE, &ignore, &previous) == 0)
    brokenPipeIgnored = previous.sa_handler == SIG_IGN;
}

void endByBrokenPipe() {
  if (brokenPipeIgnored)
    return;
  ::signal(SIGPIPE, SIG_DFL);
  ::raise(SIGPIPE);
}
