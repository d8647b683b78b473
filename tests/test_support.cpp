#include "test_support.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern =
      std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/streamtrim-test-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr)
    throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void writeFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
  if (!out.flush())
    throw std::runtime_error("cannot write " + path);
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    throw std::runtime_error("cannot read " + path);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

uint64_t fileSize(const std::string& path) {
  return std::filesystem::file_size(path);
}

bool fileExists(const std::string& path) {
  struct stat info;
  return ::lstat(path.c_str(), &info) == 0;
}

namespace {

std::string drain(int fd) {
  std::string text;
  char buffer[65536];
  for (;;) {
    ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got > 0) {
      text.append(buffer, static_cast<size_t>(got));
    } else if (got == 0 || errno != EINTR) {
      break;
    }
  }
  ::close(fd);
  return text;
}

}  // namespace

RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const RunOptions& options) {
  int outPipe[2];
  int errPipe[2];
  if (::pipe(outPipe) != 0 || ::pipe(errPipe) != 0)
    throw std::runtime_error("pipe failed");
  pid_t child = ::fork();
  if (child < 0)
    throw std::runtime_error("fork failed");
  if (child == 0) {
    ::dup2(errPipe[1], STDERR_FILENO);
    if (options.closeStdout) {
      ::close(STDOUT_FILENO);
    } else if (!options.stdoutPath.empty()) {
      int fd = ::open(options.stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (fd < 0)
        ::_exit(126);
      ::dup2(fd, STDOUT_FILENO);
      ::close(fd);
    } else if (!options.stdoutAppendPath.empty()) {
      int fd = ::open(options.stdoutAppendPath.c_str(), O_WRONLY | O_APPEND);
      if (fd < 0)
        ::_exit(126);
      ::dup2(fd, STDOUT_FILENO);
      ::close(fd);
    } else {
      ::dup2(outPipe[1], STDOUT_FILENO);
    }
    ::close(outPipe[0]);
    ::close(outPipe[1]);
    ::close(errPipe[0]);
    ::close(errPipe[1]);
    if (!options.cwd.empty() && ::chdir(options.cwd.c_str()) != 0)
      ::_exit(126);
    std::vector<char*> argv;
    for (const std::string& arg : args)
      argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(outPipe[1]);
  ::close(errPipe[1]);
  RunResult result;
  std::thread errReader([&] { result.err = drain(errPipe[0]); });
  result.out = drain(outPipe[0]);
  errReader.join();
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

namespace {

void appendWords(std::vector<std::string>& argv, const char* text) {
  std::istringstream words(text);
  for (std::string word; words >> word;)
    argv.push_back(word);
}

// The command that runs a binary built here. STREAMTRIM_TEST_WRAPPER, when set
// and wrapped is true, names a program (with options separated by blanks) that
// runs the binary, e.g. "valgrind -q --error-exitcode=99". A cross build whose
// binaries this machine cannot start by itself defines STREAMTRIM_TEST_EMULATOR
// (e.g. "/usr/bin/qemu-aarch64 -L /usr/aarch64-linux-gnu"), which comes next.
// The program to run comes first.
std::vector<std::string> builtCommand(const char* binary, const std::vector<std::string>& args,
                                      bool wrapped = true) {
  std::vector<std::string> argv;
  const char* wrapper = wrapped ? std::getenv("STREAMTRIM_TEST_WRAPPER") : nullptr;
  if (wrapper != nullptr)
    appendWords(argv, wrapper);
#ifdef STREAMTRIM_TEST_EMULATOR
  appendWords(argv, STREAMTRIM_TEST_EMULATOR);
#endif
  argv.push_back(binary);
  argv.insert(argv.end(), args.begin(), args.end());
  if (argv.front().find('/') == std::string::npos)
    argv.insert(argv.begin(), "/usr/bin/" + argv.front());
  else
    argv.insert(argv.begin(), argv.front());
  return argv;
}

RunResult runBuilt(const std::vector<std::string>& command, const RunOptions& options) {
  return runProgram(command.front(), {command.begin() + 1, command.end()}, options);
}

}  // namespace

RunResult runStreamtrim(const std::vector<std::string>& args, const RunOptions& options) {
  return runBuilt(builtCommand(STREAMTRIM_BINARY, args), options);
}

RunResult runVerify(const std::vector<std::string>& args, const RunOptions& options) {
  return runBuilt(builtCommand(STREAMTRIM_VERIFY_BINARY, args), options);
}

std::string emulatorPrefix() {
#ifdef STREAMTRIM_TEST_EMULATOR
  return STREAMTRIM_TEST_EMULATOR " ";
#else
  return "";
#endif
}

RunResult runSamplerProbe(const std::vector<std::string>& args) {
  return runBuilt(builtCommand(SAMPLER_PROBE_BINARY, args, false), {});
}

int startStreamtrim(const std::vector<std::string>& args, int outFd, int errFd) {
  std::vector<std::string> command = builtCommand(STREAMTRIM_BINARY, args);
  pid_t child = ::fork();
  if (child < 0)
    throw std::runtime_error("fork failed");
  if (child == 0) {
    // A terminal on standard error becomes the run's controlling terminal,
    // as a shell's is: /dev/tty then names it.
    if (::isatty(errFd) != 0 && ::setsid() >= 0)
      ::ioctl(errFd, TIOCSCTTY, 0);
    ::dup2(outFd, STDOUT_FILENO);
    ::dup2(errFd, STDERR_FILENO);
    std::vector<char*> argv;
    for (auto arg = command.begin() + 1; arg != command.end(); ++arg)
      argv.push_back(arg->data());
    argv.push_back(nullptr);
    ::execv(command.front().c_str(), argv.data());
    ::_exit(127);
  }
  return child;
}

int waitForExit(int pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

PseudoTerminal::PseudoTerminal() {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
    throw std::runtime_error("no pseudo-terminal");
  terminalPath_ = ::ptsname(master_);
  terminal_ = ::open(terminalPath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  termios mode;
  if (terminal_ < 0 || ::tcgetattr(terminal_, &mode) != 0)
    throw std::runtime_error("cannot open " + terminalPath_);
  ::cfmakeraw(&mode);
  ::tcsetattr(terminal_, TCSANOW, &mode);
}

PseudoTerminal::~PseudoTerminal() {
  closeTerminal();
  ::close(master_);
}

void PseudoTerminal::setWidth(int columns) {
  winsize size{};
  size.ws_row = 24;
  size.ws_col = static_cast<unsigned short>(columns);
  if (::ioctl(master_, TIOCSWINSZ, &size) != 0)
    throw std::runtime_error("cannot set the width of " + terminalPath_);
}

void PseudoTerminal::closeTerminal() {
  if (terminal_ >= 0)
    ::close(terminal_);
  terminal_ = -1;
}
