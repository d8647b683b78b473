// What streamtrim shows on a terminal: a status line while a long run lasts,
// erased at the end for a summary line or an error, and nothing at all when
// standard error is no terminal or the output goes to that same terminal.
//
// A run over a small log lasts over a second because the test stops reading
// the run's output for a while: streamtrim waits to write a line, and the
// status line is due as soon as it reads on.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "progress_text.h"
#include "stream_log.h"
#include "test_support.h"

namespace {

// A 4 MB log: a result that is cut, then one that is copied.
const StreamLog& longLog() {
  static const StreamLog log = StreamLog().query(16, 20000).query(3, 100000);
  return log;
}

// Reads outFd and errFd (which may be the same) until both end: a pipe
// without writers, a terminal without programs on it.
void drain(int outFd, int errFd, std::string& out, std::string& err) {
  std::vector<int> open = {outFd, errFd};
  if (errFd == outFd)
    open.pop_back();
  char bytes[65536];
  while (!open.empty()) {
    int ready = waitForInput(open, 60000);
    ASSERT_GE(ready, 0) << "the run hangs";
    int fd = open[static_cast<size_t>(ready)];
    long got = readDescriptor(fd, bytes, sizeof bytes);
    if (got > 0)
      (fd == outFd ? out : err).append(bytes, static_cast<size_t>(got));
    else
      open.erase(open.begin() + ready);
  }
}

struct StalledRun {
  int status = -1;
  std::string out;  // standard output
  std::string err;  // standard error, or all the terminal showed when both are on it
};

// Runs streamtrim with args, standard output on outWrite and standard error
// on errWrite (closed here once the run has them), which the caller's outRead
// and errRead read. Once the output
// has begun, the test reads nothing for 1.3 seconds, runs meanwhile, then
// reads everything to the end.
StalledRun runStalled(
    const std::vector<std::string>& args, int outRead, int outWrite, int errRead, int errWrite,
    const std::function<void()>& meanwhile = [] {}) {
  StalledRun run;
  int pid = startStreamtrim(args, outWrite, errWrite);
  const bool oneWriter = errWrite == outWrite;
  closeDescriptor(outWrite);
  if (!oneWriter)
    closeDescriptor(errWrite);
  EXPECT_EQ(waitForInput({outRead}, 60000), 0) << "no output";
  std::this_thread::sleep_for(std::chrono::milliseconds(1300));
  meanwhile();
  drain(outRead, errRead, run.out, run.err);
  run.status = waitForExit(pid);
  return run;
}

// What the terminal is left with: whatever follows the last erasure of the
// status line ("\r", then ESC [ K, erasing to the end of the line).
std::string afterLastErasure(const std::string& text) {
  size_t erased = text.rfind("\r\x1b[K");
  return erased == text.npos ? "(never erased) " + text : text.substr(erased + 4);
}

}  // namespace

TEST(Terminal, LongRunShowsStatusLineThenLeavesOnlyTheSummary) {
  SKIP_UNLESS_POSIX("needs a pseudo-terminal");
  TempDir dir;
  writeFile(dir.file("in.log"), longLog().text());
  PseudoTerminal terminal;
  Pipe output;
  StalledRun run = runStalled({dir.file("in.log")}, output.fds[0], output.fds[1], terminal.master(),
                              terminal.terminal());
  terminal.closeTerminal();
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.err.find("\rstreamtrim: pass 2/2 "), std::string::npos) << run.err;
  EXPECT_TRUE(run.out == runStreamtrim({dir.file("in.log")}).out);  // no diff of megabytes
  const std::string summary = "streamtrim: 2 results seen, 1 cut (20000 rows); " +
                              formatBytes(static_cast<double>(longLog().text().size())) + " in, " +
                              formatBytes(static_cast<double>(run.out.size())) + " out; ";
  std::string shown = afterLastErasure(run.err);
  ASSERT_EQ(shown.substr(0, summary.size()), summary) << shown;
  EXPECT_TRUE(std::regex_match(shown.substr(summary.size()), std::regex("[1-9]\\.\\d\\d s\n")))
      << shown;
}

TEST(Terminal, FailureErasesTheStatusLineBeforeTheError) {
  SKIP_UNLESS_POSIX("needs a pseudo-terminal");
  TempDir dir;
  const std::string log = dir.file("in.log");
  writeFile(log, longLog().text());
  PseudoTerminal terminal;
  Pipe output;
  StalledRun run = runStalled({log}, output.fds[0], output.fds[1], terminal.master(),
                              terminal.terminal(), [&] { appendFile(log, "-- TPC-H Query 1\n"); });
  terminal.closeTerminal();
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("\rstreamtrim: pass 2/2 "), std::string::npos) << run.err;
  EXPECT_EQ(afterLastErasure(run.err),
            "streamtrim: " + log + ": the log changed while streamtrim was reading it\n");
}

TEST(Terminal, NothingShowsWhenStandardErrorIsNoTerminal) {
  TempDir dir;
  writeFile(dir.file("in.log"), longLog().text());
  Pipe output, error;
  StalledRun run =
      runStalled({dir.file("in.log")}, output.fds[0], output.fds[1], error.fds[0], error.fds[1]);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_FALSE(run.out.empty());
}

TEST(Terminal, NothingShowsWhenTheOutputGoesToTheSameTerminal) {
  SKIP_UNLESS_POSIX("needs a pseudo-terminal");
  TempDir dir;
  writeFile(dir.file("in.log"), longLog().text());
  PseudoTerminal terminal;
  StalledRun run = runStalled({dir.file("in.log")}, terminal.master(), terminal.terminal(),
                              terminal.master(), terminal.terminal());
  terminal.closeTerminal();
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(run.out == runStreamtrim({dir.file("in.log")}).out);
}
