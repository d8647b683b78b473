// Helpers shared by the tests: scratch directories, files, and running the
// built streamtrim binary as a user would.

#ifndef STREAMTRIM_TEST_SUPPORT_H
#define STREAMTRIM_TEST_SUPPORT_H

#include <cstdint>
#include <string>
#include <vector>

// A fresh directory under $TMPDIR (or /tmp), removed with its content.
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

void writeFile(const std::string& path, const std::string& content);
std::string readFile(const std::string& path);
bool fileExists(const std::string& path);
uint64_t fileSize(const std::string& path);

struct RunResult {
  int status = -1;  // exit status, or 128 + signal number
  std::string out;  // what the process wrote to standard output
  std::string err;  // what it wrote to standard error
};

struct RunOptions {
  bool closeStdout = false;      // start the process with standard output closed
  std::string stdoutPath;        // when set, standard output goes to this file (truncated)
  std::string stdoutAppendPath;  // when set, standard output is appended to this file
  std::string cwd;               // when set, the process starts in this directory
};

// Runs program with args (argv[0] is program) and collects its output.
RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const RunOptions& options = {});

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

// Starts the built streamtrim with args (through $STREAMTRIM_TEST_WRAPPER when
// that is set), its standard output on outFd and its standard error on errFd,
// which, when it is a terminal, becomes its controlling terminal; returns at
// once with the process id.
int startStreamtrim(const std::vector<std::string>& args, int outFd, int errFd);

// Waits for the process and returns its exit status, or 128 + signal number.
int waitForExit(int pid);

// A pseudo-terminal in raw mode, so that the bytes written to its terminal
// side arrive at the controlling side unchanged.
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
