// Helpers shared by the tests: scratch directories, files, and running the
// built binaries as a user would.
//
// Paths are UTF-8 strings on every system. What differs between systems lives
// in test_support_posix.cpp and test_support_windows.cpp; descriptors are file
// descriptors, on Windows those of the C runtime.

#ifndef STREAMTRIM_TEST_SUPPORT_H
#define STREAMTRIM_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

// Whether the tests run on a POSIX system: true in test_support_posix.cpp,
// false in test_support_windows.cpp.
bool systemIsPosix();

// Skips the rest of the current test where the system lacks what it needs
// (reason says what), that is on Windows.
#define SKIP_UNLESS_POSIX(reason) \
  if (systemIsPosix()) {          \
  } else                          \
    GTEST_SKIP() << "not on Windows: " << (reason)

// A fresh directory under the system's place for temporary files ($TMPDIR or
// /tmp; GetTempPathW on Windows), removed with its content. Its path uses '/'
// on every system.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// The UTF-8 path as std::filesystem takes it on this system.
std::filesystem::path fsPath(const std::string& path);

void writeFile(const std::string& path, const std::string& content);
void appendFile(const std::string& path, const std::string& content);
std::string readFile(const std::string& path);
// Whether the whole of text matches the ECMAScript regular expression
// pattern (one place builds <regex>, whose code is slow to compile).
bool matchesWhole(const std::string& text, const std::string& pattern);
bool fileExists(const std::string& path);  // also a link that points nowhere
uint64_t fileSize(const std::string& path);

void createDirectory(const std::string& path);
void createHardLink(const std::string& target, const std::string& link);
// Creates a symbolic link; false where the system refuses this process one
// (Windows grants it only to some users), an exception on any other failure.
bool createSymlink(const std::string& target, const std::string& link);

// What each system's file gives the shared helpers: whether a failure to
// create a symbolic link is the system refusing this process one, and the
// path to start a program by (one named without a directory is looked for in
// /usr/bin on POSIX and along PATH on Windows).
bool symlinkRefused(const std::error_code& error);
std::string programPath(const std::string& program);

// A file's modification time, exactly as the system keeps it.
struct ModificationTime {
  int64_t seconds = 0;      // since 1970-01-01 00:00 UTC
  int64_t nanoseconds = 0;  // below a second
};
ModificationTime modificationTime(const std::string& path);
void setModificationTime(const std::string& path, const ModificationTime& time);

// Failures the tests provoke whose reason the tools give in the system's own
// words: strerror's on POSIX, FormatMessage's on Windows.
enum class SystemError {
  kNoSuchFile,       // a missing file in a directory that exists
  kNoSuchDirectory,  // a path through a directory that does not exist
  kNoSuchOddName,    // a missing file whose name holds control bytes, which Windows forbids
  kIsADirectory,     // a directory opened as a file
  kNoSpace,          // a write to a full device
};
std::string systemReason(SystemError error);

// The device that takes every write and gives nothing ("/dev/null", "NUL").
extern const char kNullDevice[];

// A device on which every write fails for want of space ("/dev/full"), or
// null on a system without one.
const char* fullDevice();

// A named pipe nobody writes to, which a program opens by path: a FIFO in dir
// on POSIX, a pipe under \\.\pipe\ with a few idle instances on Windows
// (each open takes one, so it serves at most kOpens opens).
class NamedPipe {
 public:
  static constexpr int kOpens = 8;

  explicit NamedPipe(const TempDir& dir);
  ~NamedPipe();
  NamedPipe(const NamedPipe&) = delete;
  NamedPipe& operator=(const NamedPipe&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::vector<void*> instances_;  // the server's handles, on Windows
};

// A named pipe, as NamedPipe, through which a thread of this process hands
// content to the first program that opens it, then closes its end. The
// destructor ends the thread, whether a program read all, some or none of it.
class FedPipe {
 public:
  FedPipe(const TempDir& dir, std::string content);
  ~FedPipe();
  FedPipe(const FedPipe&) = delete;
  FedPipe& operator=(const FedPipe&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::atomic<bool> stop_{false};  // no program came, or none is left to read
  std::thread writer_;
};

// While it lives, this process's standard output goes to the file at path
// (created or emptied); the destructor gives back the standard output it
// replaced.
class StandardOutputRedirect {
 public:
  explicit StandardOutputRedirect(const std::string& path);
  ~StandardOutputRedirect();
  StandardOutputRedirect(const StandardOutputRedirect&) = delete;
  StandardOutputRedirect& operator=(const StandardOutputRedirect&) = delete;

 private:
  int saved_ = -1;
};

struct RunResult {
  int status = -1;  // exit status, or endedBySignal(signal number)
  std::string out;  // what the process wrote to standard output
  std::string err;  // what it wrote to standard error
};

struct RunOptions {
  bool closeStdout = false;      // start the process with standard output closed
  std::string stdoutPath;        // when set, standard output goes to this file (truncated)
  std::string stdoutAppendPath;  // when set, standard output is appended to this file
  std::string cwd;               // when set, the process starts in this directory
};

// Runs program with args (argv[0] is program) and collects its output. On
// Windows the arguments are quoted into one command line that the C runtime
// splits back into the same args.
RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const RunOptions& options = {});

// What a program wrote to standard error less its notes on results that stay
// whole though they look too large (lines holding ": note: "), which the
// tests' large results of queries that are never cut give.
std::string withoutNotes(const std::string& err);

// Runs the built streamtrim with args (through $STREAMTRIM_TEST_WRAPPER when
// that is set).
RunResult runStreamtrim(const std::vector<std::string>& args, const RunOptions& options = {});

// The same for the built streamtrim-verify.
RunResult runVerify(const std::vector<std::string>& args, const RunOptions& options = {});

// What a shell command puts before a binary built here to start it: the
// emulator of a cross build that has one, and a blank; or nothing.
std::string emulatorPrefix();

// Runs the built sampler_probe with args (never through the wrapper).
RunResult runSamplerProbe(const std::vector<std::string>& args);

// Runs the built make_stream_log, the sample log's generator, with args
// (never through the wrapper).
RunResult runMakeStreamLog(const std::vector<std::string>& args);

// Starts program with args (argv[0] is program), its standard output on outFd
// and its standard error on errFd, which, when it is a terminal, becomes its
// controlling terminal; returns at once with the process id.
int startProgram(const std::string& program, const std::vector<std::string>& args, int outFd,
                 int errFd);

// Starts the built streamtrim with args (through $STREAMTRIM_TEST_WRAPPER when
// that is set), its standard output on outFd and its standard error on errFd,
// which, when it is a terminal, becomes its controlling terminal; returns at
// once with the process id.
int startStreamtrim(const std::vector<std::string>& args, int outFd, int errFd);

// Waits for a process startProgram started and returns its exit status, or
// endedBySignal(signal number).
int waitForExit(int pid);

// What the helpers give for a POSIX process a signal ended: beyond every exit
// status (0 to 255), so that a run that exits with 128 + N, as a shell shows
// signal N, is told apart from one that signal N ended (a fault dumps core
// only so).
constexpr int endedBySignal(int signal) {
  return 256 + signal;
}

// SIGPIPE's number on every POSIX system; the status of a process it ended,
// as the helpers give it and as shells show it.
inline constexpr int kSigpipe = 13;
inline constexpr int kEndedBySigpipe = endedBySignal(kSigpipe);
inline constexpr int kShellShowsSigpipe = 128 + kSigpipe;

// A pipe: what is written to fds[1] is read from fds[0]. The write end is for
// a program the test starts, to be closed once the program has it; no program
// started inherits the read end, so that a reader that quits is seen to quit.
// The destructor closes the read end unless it is -1.
struct Pipe {
  Pipe();
  ~Pipe();
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;
  int fds[2] = {-1, -1};
};

// Closes fd unless it is -1 already, then sets it to -1.
void closeDescriptor(int& fd);

// Reads what fd has, waiting for it: the count of bytes read, 0 at the end (a
// pipe without writers, a terminal without programs on it), -1 on an error.
long readDescriptor(int fd, char* buffer, size_t size);

// The index in fds of one that has something to read or has reached its end,
// waiting up to milliseconds for one; -1 when none has by then.
int waitForInput(const std::vector<int>& fds, int milliseconds);

// A pseudo-terminal in raw mode, so that the bytes written to its terminal
// side arrive at the controlling side unchanged. POSIX only: elsewhere the
// constructor throws, so tests that need one start with SKIP_UNLESS_POSIX.
class PseudoTerminal {
 public:
  PseudoTerminal();
  ~PseudoTerminal();
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  int master() const { return master_; }
  int terminal() const { return terminal_; }  // what a program on the terminal writes to
  const std::string& terminalPath() const { return terminalPath_; }

  // Gives the terminal's window this many columns.
  void setWidth(int columns);

  // Closes this process's descriptor of the terminal side, so that reading
  // the master ends once every program on the terminal has closed it.
  void closeTerminal();

 private:
  int master_ = -1;
  int terminal_ = -1;
  std::string terminalPath_;
};

#endif  // STREAMTRIM_TEST_SUPPORT_H
