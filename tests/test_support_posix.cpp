// The test helpers on POSIX systems: fork and exec, pipes, pseudo-terminals.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "test_support.h"

bool systemIsPosix() {
  return true;
}

bool symlinkRefused(const std::error_code&) {
  return false;
}

std::string programPath(const std::string& program) {
  return program.find('/') == std::string::npos ? "/usr/bin/" + program : program;
}

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

ModificationTime modificationTime(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0)
    throw std::system_error(errno, std::generic_category(), "cannot stat " + path);
#if defined(__APPLE__)
  return {info.st_mtimespec.tv_sec, info.st_mtimespec.tv_nsec};
#else
  return {info.st_mtim.tv_sec, info.st_mtim.tv_nsec};
#endif
}

void setModificationTime(const std::string& path, const ModificationTime& time) {
  timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;  // the access time stays
  times[1].tv_sec = static_cast<time_t>(time.seconds);
  times[1].tv_nsec = static_cast<long>(time.nanoseconds);
  if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0)
    throw std::system_error(errno, std::generic_category(), "cannot set the time of " + path);
}

std::string systemReason(SystemError error) {
  switch (error) {
    case SystemError::kNoSuchFile:
    case SystemError::kNoSuchDirectory:
    case SystemError::kNoSuchOddName:
      return std::strerror(ENOENT);
    case SystemError::kIsADirectory:
      return std::strerror(EISDIR);
    case SystemError::kNoSpace:
      return std::strerror(ENOSPC);
  }
  throw std::logic_error("no such SystemError");
}

const char kNullDevice[] = "/dev/null";

const char* fullDevice() {
  static const bool exists = ::access("/dev/full", W_OK) == 0;
  return exists ? "/dev/full" : nullptr;
}

NamedPipe::NamedPipe(const TempDir& dir) : path_(dir.file("fifo")) {
  if (::mkfifo(path_.c_str(), 0600) != 0)
    throw std::system_error(errno, std::generic_category(), "cannot make " + path_);
}

NamedPipe::~NamedPipe() = default;

// The writer opens the FIFO without waiting, again and again, so that it can
// stop when no reader comes; a reader that quits early makes its writes fail
// instead of sending this process SIGPIPE.
FedPipe::FedPipe(const TempDir& dir, std::string content) {
  static std::atomic<unsigned> made{0};
  path_ = dir.file("fed-fifo-" + std::to_string(made++));
  if (::mkfifo(path_.c_str(), 0600) != 0)
    throw std::system_error(errno, std::generic_category(), "cannot make " + path_);
  writer_ = std::thread([this, content = std::move(content)] {
    sigset_t brokenPipe;
    sigemptyset(&brokenPipe);
    sigaddset(&brokenPipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &brokenPipe, nullptr);
    int fd = -1;
    while (!stop_ && (fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC)) < 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    if (fd < 0)
      return;
    ::fcntl(fd, F_SETFL, 0);
    for (size_t done = 0; done < content.size();) {
      ssize_t wrote = ::write(fd, content.data() + done, content.size() - done);
      if (wrote <= 0)
        break;
      done += static_cast<size_t>(wrote);
    }
    ::close(fd);
  });
}

FedPipe::~FedPipe() {
  stop_ = true;
  writer_.join();
}

StandardOutputRedirect::StandardOutputRedirect(const std::string& path) {
  std::fflush(stdout);
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0)
    throw std::system_error(errno, std::generic_category(), "cannot open " + path);
  saved_ = ::dup(STDOUT_FILENO);
  bool redirected = saved_ >= 0 && ::dup2(fd, STDOUT_FILENO) == STDOUT_FILENO;
  ::close(fd);
  if (!redirected)
    throw std::runtime_error("cannot redirect standard output");
}

StandardOutputRedirect::~StandardOutputRedirect() {
  std::fflush(stdout);
  ::dup2(saved_, STDOUT_FILENO);
  ::close(saved_);
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

int exitStatus(int status) {
  return WIFSIGNALED(status) ? endedBySignal(WTERMSIG(status)) : WEXITSTATUS(status);
}

[[noreturn]] void exec(const std::string& program, const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& arg : args)
    argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  ::execv(program.c_str(), argv.data());
  ::_exit(127);
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
    exec(program, args);
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
  result.status = exitStatus(status);
  return result;
}

int startProgram(const std::string& program, const std::vector<std::string>& args, int outFd,
                 int errFd) {
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
    exec(program, args);
  }
  return child;
}

int waitForExit(int pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return exitStatus(status);
}

Pipe::Pipe() {
  if (::pipe(fds) != 0 || ::fcntl(fds[0], F_SETFD, FD_CLOEXEC) != 0)
    throw std::runtime_error("pipe failed");
}

Pipe::~Pipe() {
  closeDescriptor(fds[0]);
}

void closeDescriptor(int& fd) {
  if (fd >= 0)
    ::close(fd);
  fd = -1;
}

long readDescriptor(int fd, char* buffer, size_t size) {
  for (;;) {
    ssize_t got = ::read(fd, buffer, size);
    if (got >= 0 || errno != EINTR)
      return got;
  }
}

int waitForInput(const std::vector<int>& fds, int milliseconds) {
  std::vector<pollfd> polled;
  for (int fd : fds)
    polled.push_back({fd, POLLIN, 0});
  int ready = 0;
  do {
    ready = ::poll(polled.data(), polled.size(), milliseconds);
  } while (ready < 0 && errno == EINTR);
  for (size_t i = 0; ready > 0 && i < polled.size(); ++i) {
    if (polled[i].revents != 0)
      return static_cast<int>(i);
  }
  return -1;
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
