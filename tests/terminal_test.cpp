// What streamtrim shows on a terminal: a status line while a long run lasts,
// erased at the end for a summary line or an error, and nothing at all when
// standard error is no terminal or the output goes to that same terminal.
//
// A run over a small log lasts over a second because the test stops reading
// the run's output for a while: streamtrim waits to write a line, and the
// status line is due as soon as it reads on.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "run/progress_text.h"
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
  int pid = -1;
  int outRead = -1;
  int errRead = -1;
  int status = -1;
  std::string out;  // standard output
  std::string err;  // standard error, or all the terminal showed when both are on it
};

// Starts streamtrim with args, standard output on outWrite and standard error
// on errWrite (closed here once the run has them), which the caller's outRead
// and errRead read, and waits for the output to begin.
StalledRun startStalled(const std::vector<std::string>& args, int outRead, int outWrite,
                        int errRead, int errWrite) {
  StalledRun run;
  run.outRead = outRead;
  run.errRead = errRead;
  run.pid = startStreamtrim(args, outWrite, errWrite);
  const bool oneWriter = errWrite == outWrite;
  closeDescriptor(outWrite);
  if (!oneWriter)
    closeDescriptor(errWrite);
  EXPECT_EQ(waitForInput({outRead}, 60000), 0) << "no output";
  return run;
}

// Reads nothing for 1.3 seconds: the runs started wait to write, and their
// status lines are due as soon as they write on.
void stall() {
  std::this_thread::sleep_for(std::chrono::milliseconds(1300));
}

// Reads everything the run writes to the end, and waits for it to exit.
void finishStalled(StalledRun& run) {
  drain(run.outRead, run.errRead, run.out, run.err);
  run.status = waitForExit(run.pid);
}

// A run started, stalled, then read to the end, with meanwhile run during
// the stall.
StalledRun runStalled(
    const std::vector<std::string>& args, int outRead, int outWrite, int errRead, int errWrite,
    const std::function<void()>& meanwhile = [] {}) {
  StalledRun run = startStalled(args, outRead, outWrite, errRead, errWrite);
  stall();
  meanwhile();
  finishStalled(run);
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
  EXPECT_TRUE(matchesWhole(shown.substr(summary.size()), "[1-9]\\.\\d\\d s\n")) << shown;
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
  const std::string log = dir.file("in.log");
  writeFile(log, longLog().text());
  Pipe output, error;
  StalledRun run = runStalled({log}, output.fds[0], output.fds[1], error.fds[0], error.fds[1]);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(withoutNotes(run.err), "");
  EXPECT_FALSE(run.out.empty());
}

TEST(Terminal, NothingShowsWhenTheOutputIsATerminal) {
  SKIP_UNLESS_POSIX("needs a pseudo-terminal");
  TempDir dir;
  const std::string log = dir.file("in.log");
  writeFile(log, longLog().text());
  const std::string expected = runStreamtrim({log}).out;
  // The cut log on a terminal: standard output, the controlling terminal by
  // the name /dev/tty, or another terminal by its own name.
  enum class Output { kStandardOutput, kDevTty, kOtherTerminal };
  const Output outputs[] = {Output::kStandardOutput, Output::kDevTty, Output::kOtherTerminal};
  // The three runs stall side by side, each on terminals of its own.
  PseudoTerminal terminals[3], others[3];
  std::vector<StalledRun> runs;
  for (size_t i = 0; i < 3; ++i) {
    PseudoTerminal& shown = outputs[i] == Output::kOtherTerminal ? others[i] : terminals[i];
    std::vector<std::string> args = {log};
    if (outputs[i] == Output::kDevTty)
      args.push_back("/dev/tty");
    if (outputs[i] == Output::kOtherTerminal)
      args.push_back(others[i].terminalPath());
    runs.push_back(startStalled(args, shown.master(), shown.terminal(), terminals[i].master(),
                                terminals[i].terminal()));
  }
  stall();
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(static_cast<int>(outputs[i]));
    StalledRun& run = runs[i];
    finishStalled(run);
    EXPECT_EQ(run.status, 0);
    // Any status or summary line would stand among the cut log's bytes, or
    // on a terminal of its own; notes are no status.
    EXPECT_TRUE(withoutNotes(run.out) == expected);
    EXPECT_EQ(withoutNotes(run.err), "");
  }
}

TEST(Terminal, StatusLinesFitANarrowWindow) {
  SKIP_UNLESS_POSIX("needs a pseudo-terminal");
  TempDir dir;
  writeFile(dir.file("in.log"), longLog().text());
  constexpr size_t kColumns = 30;
  PseudoTerminal terminal;
  terminal.setWidth(kColumns);
  Pipe output;
  StalledRun run = runStalled({dir.file("in.log")}, output.fds[0], output.fds[1], terminal.master(),
                              terminal.terminal());
  EXPECT_EQ(run.status, 0);
  // Each drawing: "\r", the status line, ESC [ K.
  size_t drawings = 0;
  for (size_t at = run.err.find('\r'); at != std::string::npos; at = run.err.find('\r', at + 1)) {
    size_t end = run.err.find("\x1b[K", at);
    ASSERT_NE(end, std::string::npos) << run.err;
    EXPECT_LT(end - at - 1, kColumns) << run.err.substr(at + 1, end - at - 1);
    drawings += end > at + 1;
  }
  EXPECT_GT(drawings, 0u) << run.err;
}

// The reader of the cut log quits early, as head does: the run ends by
// SIGPIPE as a pipeline's writer does, silently, but with the status line
// erased first.
TEST(Terminal, AReaderThatQuitsEndsTheRunQuietlyWithTheStatusLineErased) {
  SKIP_UNLESS_POSIX("needs a pseudo-terminal");
  TempDir dir;
  writeFile(dir.file("in.log"), longLog().text());
  PseudoTerminal terminal;
  Pipe output;
  int pid = startStreamtrim({dir.file("in.log")}, output.fds[1], terminal.terminal());
  closeDescriptor(output.fds[1]);
  ASSERT_EQ(waitForInput({output.fds[0]}, 60000), 0) << "no output";
  std::this_thread::sleep_for(std::chrono::milliseconds(1300));
  // Reads on until the status line shows, then quits.
  const std::string statusLine = "\rstreamtrim: pass 2/2 ";
  std::string shown;
  char bytes[65536];
  while (shown.find(statusLine) == std::string::npos) {
    ASSERT_GE(waitForInput({output.fds[0], terminal.master()}, 60000), 0) << "the run hangs";
    ASSERT_GT(readDescriptor(output.fds[0], bytes, sizeof bytes), 0)
        << "the cut log ended: " << shown;
    if (waitForInput({terminal.master()}, 0) == 0)
      shown.append(bytes, static_cast<size_t>(std::max<long>(
                              0, readDescriptor(terminal.master(), bytes, sizeof bytes))));
  }
  closeDescriptor(output.fds[0]);
  std::string rest;
  terminal.closeTerminal();
  drain(terminal.master(), terminal.master(), rest, rest);
  EXPECT_EQ(waitForExit(pid), kEndedBySigpipe);
  EXPECT_EQ(afterLastErasure(shown + rest), "");
}
