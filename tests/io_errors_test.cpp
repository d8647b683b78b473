// Failing input and output: each ends the run with status 1 and one line
// "streamtrim: <what>: <reason>" on standard error, and never harms the log or
// an output that was not yet due to be written.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

const char kLog[] =
    "-- TPC-H Query 3 (stream 0, position 1/22)\nselect 1;\na|b\n===\n1|2\n3|4\n(2 rows)\n\n";

// Expects the run to have failed with exactly one message about subject;
// errnum, when not 0, gives the reason the system names.
void expectFailure(const RunResult& run, const std::string& subject, int errnum = 0) {
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  const std::string prefix = "streamtrim: " + subject + ": ";
  if (errnum != 0) {
    EXPECT_EQ(run.err, prefix + std::strerror(errnum) + "\n");
    return;
  }
  EXPECT_EQ(run.err.rfind(prefix, 0), 0u) << run.err;
  EXPECT_GT(run.err.size(), prefix.size() + 1) << "no reason given: " << run.err;
  EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "not one line: " << run.err;
}

}  // namespace

TEST(IoErrors, UnreadableInputLeavesTheOutputAlone) {
  TempDir dir;
  ASSERT_EQ(::mkdir(dir.file("dir").c_str(), 0755), 0);
  ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0644), 0);  // opening it must not wait for a writer
  struct Case {
    std::string input;
    int errnum;
  };
  const std::vector<Case> cases = {
      {dir.file("missing.log"), ENOENT}, {dir.file("dir"), EISDIR}, {dir.file("fifo"), 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    expectFailure(runStreamtrim({c.input}), c.input, c.errnum);
    expectFailure(runStreamtrim({c.input, dir.file("new.log")}), c.input, c.errnum);
    EXPECT_FALSE(fileExists(dir.file("new.log")));
    writeFile(dir.file("old.log"), "previous output\n");
    expectFailure(runStreamtrim({c.input, dir.file("old.log")}), c.input, c.errnum);
    EXPECT_EQ(readFile(dir.file("old.log")), "previous output\n");
  }
}

TEST(IoErrors, OutputThatCannotBeWritten) {
  TempDir dir;
  writeFile(dir.file("in.log"), kLog);
  struct Case {
    std::string output;
    int errnum;
  };
  const std::vector<Case> cases = {
      {dir.file("no/such/dir/out.log"), ENOENT}, {dir.path(), EISDIR}, {"/dev/full", ENOSPC}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.output);
    expectFailure(runStreamtrim({dir.file("in.log"), c.output}), c.output, c.errnum);
  }
  RunOptions closedStdout;
  closedStdout.closeStdout = true;
  expectFailure(runStreamtrim({dir.file("in.log")}, closedStdout), "standard output");
  EXPECT_EQ(readFile(dir.file("in.log")), kLog);
}

// The first failed write ends the run: the tool neither goes on through the
// rest of the log nor reports the failure once per line.
TEST(IoErrors, HugeLogToFullDeviceFailsOnce) {
  TempDir dir;
  std::string log = "-- TPC-H Query 3 (stream 0, position 1/22)\nselect 1;\nkey|name\n===\n";
  const std::string row = "4711|Customer#000004711      |furiously regular deposits\n";
  while (log.size() < (32u << 20))
    log += row;
  writeFile(dir.file("in.log"), log);
  RunOptions stdoutFull;
  stdoutFull.stdoutPath = "/dev/full";
  expectFailure(runStreamtrim({dir.file("in.log"), "/dev/full"}), "/dev/full", ENOSPC);
  expectFailure(runStreamtrim({dir.file("in.log")}, stdoutFull), "standard output", ENOSPC);
}

TEST(IoErrors, OutputNamingTheInputIsRefused) {
  TempDir dir;
  const std::string in = dir.file("in.log");
  writeFile(in, kLog);
  std::filesystem::create_symlink(in, dir.file("link.log"));
  std::filesystem::create_hard_link(in, dir.file("hard.log"));
  for (const std::string& output :
       {in, dir.file("link.log"), dir.file("hard.log"), dir.path() + "/./in.log"}) {
    SCOPED_TRACE(output);
    expectFailure(runStreamtrim({in, output}), output);
    EXPECT_EQ(readFile(in), kLog);
  }
  RunOptions appendToLog;
  appendToLog.stdoutAppendPath = in;
  // Standard output appended to the log itself, as "streamtrim in.log >>in.log" would.
  expectFailure(runStreamtrim({in}, appendToLog), "standard output");
  expectFailure(runStreamtrim({dir.file("link.log")}, appendToLog), "standard output");
  EXPECT_EQ(readFile(in), kLog);
}
