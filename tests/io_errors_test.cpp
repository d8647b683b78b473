// Failing input and output: each ends the run with status 1 and one line
// "streamtrim: <what>: <reason>" on standard error, and never harms the log or
// an output that was not yet due to be written.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

const char kLog[] =
    "-- TPC-H Query 3 (stream 0, position 1/22)\nselect 1;\na|b\n===\n1|2\n3|4\n(2 rows)\n\n";

// Expects the run to have failed with exactly one message about subject;
// error, when given, names the reason the system gives.
void expectFailure(const RunResult& run, const std::string& subject,
                   std::optional<SystemError> error = std::nullopt) {
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  const std::string prefix = "streamtrim: " + subject + ": ";
  if (error) {
    EXPECT_EQ(withoutNotes(run.err), prefix + systemReason(*error) + "\n");
    return;
  }
  EXPECT_EQ(run.err.rfind(prefix, 0), 0u) << run.err;
  EXPECT_GT(run.err.size(), prefix.size() + 1) << "no reason given: " << run.err;
  EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "not one line: " << run.err;
}

}  // namespace

TEST(IoErrors, UnreadableInputLeavesTheOutputAlone) {
  TempDir dir;
  createDirectory(dir.file("dir"));
  NamedPipe pipe(dir);  // opening it must not wait for a writer
  struct Case {
    std::string input;
    std::optional<SystemError> error;
  };
  const std::vector<Case> cases = {{dir.file("missing.log"), SystemError::kNoSuchFile},
                                   {dir.file("dir"), SystemError::kIsADirectory},
                                   {pipe.path(), std::nullopt}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    expectFailure(runStreamtrim({c.input}), c.input, c.error);
    expectFailure(runStreamtrim({c.input, dir.file("new.log")}), c.input, c.error);
    EXPECT_FALSE(fileExists(dir.file("new.log")));
    writeFile(dir.file("old.log"), "previous output\n");
    expectFailure(runStreamtrim({c.input, dir.file("old.log")}), c.input, c.error);
    EXPECT_EQ(readFile(dir.file("old.log")), "previous output\n");
  }
}

TEST(IoErrors, OutputThatCannotBeWritten) {
  TempDir dir;
  writeFile(dir.file("in.log"), kLog);
  struct Case {
    std::string output;
    SystemError error;
  };
  const std::vector<Case> cases = {{dir.file("no/such/dir/out.log"), SystemError::kNoSuchDirectory},
                                   {dir.path(), SystemError::kIsADirectory}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.output);
    expectFailure(runStreamtrim({dir.file("in.log"), c.output}), c.output, c.error);
  }
  RunOptions closedStdout;
  closedStdout.closeStdout = true;
  expectFailure(runStreamtrim({dir.file("in.log")}, closedStdout), "standard output");
  EXPECT_EQ(readFile(dir.file("in.log")), kLog);
}

// The first failed write ends the run: the tool neither goes on through the
// rest of the log nor reports the failure once per line.
TEST(IoErrors, LogsToFullDeviceFailOnce) {
  const char* full = fullDevice();
  if (full == nullptr)
    GTEST_SKIP() << "this system has no device that is always full";
  TempDir dir;
  std::string log = "-- TPC-H Query 3 (stream 0, position 1/22)\nselect 1;\nkey|name\n===\n";
  const std::string row = "4711|Customer#000004711      |furiously regular deposits\n";
  while (log.size() < (32u << 20))
    log += row;
  writeFile(dir.file("small.log"), kLog);
  writeFile(dir.file("huge.log"), log);
  // Lines over 1024 bytes go to the system in two parts (writev).
  writeFile(dir.file("long-lines.log"), kLog + std::string(1025, '|') + "\n" + row);
  RunOptions stdoutFull;
  stdoutFull.stdoutPath = full;
  for (const char* name : {"small.log", "huge.log", "long-lines.log"}) {
    SCOPED_TRACE(name);
    expectFailure(runStreamtrim({dir.file(name), full}), full, SystemError::kNoSpace);
    expectFailure(runStreamtrim({dir.file(name)}, stdoutFull), "standard output",
                  SystemError::kNoSpace);
  }
}

TEST(IoErrors, OutputNamingTheInputIsRefused) {
  TempDir dir;
  const std::string in = dir.file("in.log");
  writeFile(in, kLog);
  createHardLink(in, dir.file("hard.log"));
  std::vector<std::string> names = {in, dir.file("hard.log"), dir.path() + "/./in.log"};
  if (createSymlink(in, dir.file("link.log")))  // Windows lets only some users make one
    names.push_back(dir.file("link.log"));
  for (const std::string& output : names) {
    SCOPED_TRACE(output);
    expectFailure(runStreamtrim({in, output}), output);
    EXPECT_EQ(readFile(in), kLog);
  }
  RunOptions appendToLog;
  appendToLog.stdoutAppendPath = in;
  // Standard output appended to the log itself, as "streamtrim in.log >>in.log" would.
  for (const std::string& input : names) {
    SCOPED_TRACE("standard output appended to " + input);
    expectFailure(runStreamtrim({input}, appendToLog), "standard output");
  }
  EXPECT_EQ(readFile(in), kLog);
}
