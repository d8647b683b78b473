// The command line as a user meets it: argument count, where the output goes,
// and that an argument is a path first, an option (--version, --help) only
// where no file bears its name.

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

const char kLog[] =
    "-- TPC-H Query 3 (stream 0, position 1/22)\nselect 1;\na|b\n===\n1|2\n(1 row)\n";

// The usage text names the tool by the path it was started with.
std::string usageText() {
  return std::string("usage: ") + STREAMTRIM_BINARY +
         " <inputfile> [<outputfile>]\n\n"
         "Cuts resultsets in the logfile of a querystream if they are too large.\n"
         "Restrictions of clause 8.3 apply, i.e. only Q11, Q16 and Q20 may be trucated.\n"
         "and for them the first and last 1000 rows and 1000 random non-consecutive rows must "
         "be reported (with row number)\n\n"
         "\tinputfile   The logfile of a querystream which is too large\n"
         "\toutputfile  The name of the outputfile used to store the cutted stream log (default "
         "is stdout)\n"
         "\n";
}

}  // namespace

TEST(CommandLine, WrongArgumentCountPrintsUsageAndTouchesNoFile) {
  TempDir dir;
  const std::string in = dir.file("in.log");
  const std::string out = dir.file("out.log");
  writeFile(in, kLog);
  const std::vector<std::vector<std::string>> cases = {
      {}, {in, out, "extra"}, {in, out, dir.file("third"), dir.file("fourth")}};
  for (const auto& args : cases) {
    SCOPED_TRACE(args.size());
    RunResult run = runStreamtrim(args);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, usageText());
    EXPECT_EQ(run.out, "");
    EXPECT_FALSE(fileExists(out));
    EXPECT_FALSE(fileExists(dir.file("third")));
  }
  EXPECT_EQ(readFile(in), kLog);
}

TEST(CommandLine, OutputGoesToStandardOutputWithoutOrWithEmptySecondArgument) {
  TempDir dir;
  writeFile(dir.file("in.log"), kLog);
  RunOptions inDir;
  inDir.cwd = dir.path();
  for (const auto& args :
       std::vector<std::vector<std::string>>{{dir.file("in.log")}, {dir.file("in.log"), ""}}) {
    SCOPED_TRACE(args.size());
    RunResult run = runStreamtrim(args, inDir);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, kLog);
    EXPECT_EQ(run.err, "");
  }
  // Standard output opened for appending by the shell keeps what it held.
  writeFile(dir.file("appended.log"), "kept\n");
  RunOptions append;
  append.stdoutAppendPath = dir.file("appended.log");
  EXPECT_EQ(runStreamtrim({dir.file("in.log")}, append).status, 0);
  EXPECT_EQ(readFile(dir.file("appended.log")), std::string("kept\n") + kLog);
}

TEST(CommandLine, ArgumentsStartingWithDashArePaths) {
  TempDir dir;
  writeFile(dir.file("-x.log"), kLog);
  RunOptions inDir;
  inDir.cwd = dir.path();
  RunResult run = runStreamtrim({"-x.log", "-o"}, inDir);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(readFile(dir.file("-o")), kLog);

  for (std::string arg : {"--", "-"}) {
    SCOPED_TRACE(arg);
    run = runStreamtrim({arg}, inDir);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "streamtrim: " + arg + ": " + systemReason(SystemError::kNoSuchFile) + "\n");
    EXPECT_EQ(run.out, "");
  }
}

// --version, --help and -h alone answer on standard output where nothing in
// the current folder bears that name; where something does, and for
// near-misses or a second argument, they are paths like any other.
TEST(CommandLine, VersionAndHelpAnswerOnlyWhereNoFileBearsTheName) {
  const std::string version = std::string("streamtrim ") + PROJECT_VERSION + "\n";
  auto failed = [](const std::string& name, SystemError error) {
    return "streamtrim: " + name + ": " + systemReason(error) + "\n";
  };
  const std::string missing = systemReason(SystemError::kNoSuchFile);
  enum class Existing { kNothing, kLog, kDirectory };
  struct Case {
    std::vector<std::string> args;
    Existing existing;  // what bears the name of the first argument
    int status;
    std::string out;
    std::string err;
  };
  const std::vector<Case> cases = {
      {{"--version"}, Existing::kNothing, 0, version, ""},
      {{"--help"}, Existing::kNothing, 0, usageText(), ""},
      {{"-h"}, Existing::kNothing, 0, usageText(), ""},
      {{"--versions"}, Existing::kNothing, 1, "", failed("--versions", SystemError::kNoSuchFile)},
      {{"-help"}, Existing::kNothing, 1, "", failed("-help", SystemError::kNoSuchFile)},
      {{"-version"}, Existing::kNothing, 1, "", failed("-version", SystemError::kNoSuchFile)},
      {{"--version", "out.log"},
       Existing::kNothing,
       1,
       "",
       failed("--version", SystemError::kNoSuchFile)},
      {{"--help", "out.log"},
       Existing::kNothing,
       1,
       "",
       failed("--help", SystemError::kNoSuchFile)},
      {{"--version"}, Existing::kLog, 0, kLog, ""},
      {{"--help"}, Existing::kLog, 0, kLog, ""},
      {{"-h", "out.log"}, Existing::kLog, 0, "", ""},
      {{"-h"}, Existing::kDirectory, 1, "", failed("-h", SystemError::kIsADirectory)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + std::to_string(c.args.size()) + " " +
                 std::to_string(static_cast<int>(c.existing)));
    TempDir dir;
    RunOptions inDir;
    inDir.cwd = dir.path();
    if (c.existing == Existing::kLog)
      writeFile(dir.file(c.args[0]), kLog);
    if (c.existing == Existing::kDirectory)
      createDirectory(dir.file(c.args[0]));
    RunResult run = runStreamtrim(c.args, inDir);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.err, c.err);
    const bool cut = c.args.size() == 2 && c.status == 0;
    EXPECT_EQ(fileExists(dir.file("out.log")), cut);
    EXPECT_EQ(cut ? readFile(dir.file("out.log")) : "", cut ? kLog : "");
  }
}

// The version or usage text must reach standard output whole; otherwise
// one line on standard error and status 1 (a closed standard output: see
// WindowsCommandLine).
TEST(CommandLine, VersionAndHelpThatCannotBeWrittenFail) {
  if (fullDevice() == nullptr)
    GTEST_SKIP() << "this system has no device that is always full";
  RunOptions full;
  full.stdoutPath = fullDevice();
  for (const char* option : {"--version", "--help", "-h"}) {
    SCOPED_TRACE(option);
    RunResult run = runStreamtrim({option}, full);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              "streamtrim: standard output: " + systemReason(SystemError::kNoSpace) + "\n");
  }
}

TEST(CommandLine, ExistingOutputFileIsReplaced) {
  TempDir dir;
  writeFile(dir.file("in.log"), kLog);
  writeFile(dir.file("out.log"), std::string(3 * sizeof kLog, 'x') + "\nold content\n");
  RunResult run = runStreamtrim({dir.file("in.log"), dir.file("out.log")});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(readFile(dir.file("out.log")), kLog);
}

// Each argument reaches the tool byte for byte, also what a command line has
// to quote or escape (blanks, quotes, backslashes before a quote or at the
// end) and letters outside ASCII; the message about the missing file shows it.
TEST(CommandLine, ArgumentsReachTheToolUnchanged) {
  TempDir dir;
  RunOptions inDir;
  inDir.cwd = dir.path();
  struct Case {
    std::string arg;
    std::string shown;  // as the message names it
  };
  const std::vector<Case> cases = {
      {"two words.log", "two words.log"},
      {"tab\there", "tab\\x09here"},
      {"quote\"d", "quote\"d"},
      {"\"", "\""},
      {R"(a\"b)", R"(a\"b)"},
      {R"(a\\"b)", R"(a\\"b)"},
      {R"(ends\)", R"(ends\)"},
      {R"(ends in a blank\\)", R"(ends in a blank\\)"},
      {"K\u00e4se \u03a9 \u65e5\u5fd7.log", "K\u00e4se \u03a9 \u65e5\u5fd7.log"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shown);
    RunResult run = runStreamtrim({c.arg}, inDir);
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.starts_with("streamtrim: " + c.shown + ": ")) << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
  }
}

// A name holding a newline or an escape still makes one message line, in
// both programs, with the control bytes shown as \xNN.
TEST(CommandLine, ControlBytesInNamesAreShownEscaped) {
  TempDir dir;
  writeFile(dir.file("in.log"), kLog);
  struct Case {
    std::string name;  // in dir
    std::string shown;
  };
  const Case cases[] = {
      {"no\nsuch", "no\\x0asuch"},
      {"esc\x1b[2Jape", "esc\\x1b[2Jape"},
      {"tab\there\x7f", "tab\\x09here\\x7f"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shown);
    const std::string reason = ": " + systemReason(SystemError::kNoSuchOddName) + "\n";
    RunResult asInput = runStreamtrim({dir.file(c.name)});
    EXPECT_EQ(asInput.status, 1);
    EXPECT_EQ(asInput.err, "streamtrim: " + dir.file(c.shown) + reason);
    RunResult asOutput = runStreamtrim({dir.file("in.log"), dir.file("missing/" + c.name)});
    EXPECT_EQ(asOutput.status, 1);
    EXPECT_EQ(asOutput.err, "streamtrim: " + dir.file("missing/" + c.shown) + reason);
    RunResult checked = runVerify({dir.file(c.name)});
    EXPECT_EQ(checked.status, 2);
    EXPECT_EQ(checked.err, "streamtrim-verify: " + dir.file(c.shown) + reason);
  }
}

// The reader of the output quits before it is written, as head may: both
// programs end quietly by SIGPIPE, as a pipeline's writer does, unless
// whoever started them ignores that signal; then the failed write is
// reported as any other.
TEST(CommandLine, AReaderThatQuitsEndsBothProgramsLikeAPipeline) {
  SKIP_UNLESS_POSIX("needs a POSIX shell and SIGPIPE");
  TempDir dir;
  writeFile(dir.file("in.log"), kLog);
  struct Case {
    const char* binary;
    std::string argument;  // in dir
    bool ignored;          // SIGPIPE, by the shell that starts the program
    int status;
    std::string err;
  };
  const std::string reason = std::string(std::strerror(EPIPE)) + "\n";
  const Case cases[] = {
      {STREAMTRIM_BINARY, "in.log", false, kShellShowsSigpipe, ""},
      {STREAMTRIM_VERIFY_BINARY, "in.log", false, kShellShowsSigpipe, ""},
      {STREAMTRIM_BINARY, "in.log", true, 1, "streamtrim: standard output: " + reason},
      {STREAMTRIM_VERIFY_BINARY, "in.log", true, 2,
       "streamtrim-verify: standard output: " + reason},
      {STREAMTRIM_BINARY, "--version", false, kShellShowsSigpipe, ""},
      {STREAMTRIM_BINARY, "--help", true, 1, "streamtrim: standard output: " + reason},
  };
  RunOptions inDir;
  inDir.cwd = dir.path();
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.binary) + " " + c.argument + (c.ignored ? ", ignored" : ""));
    // The reader, true, is gone by the time the program writes.
    std::string script = std::string(c.ignored ? "trap '' PIPE; " : "") + "{ sleep 0.2; " +
                         emulatorPrefix() +
                         "\"$0\" \"$1\"; echo \"status $?\" >&3; } 3>&2 2>\"$2\" | true";
    RunResult run =
        runProgram("/bin/sh", {"sh", "-c", script, c.binary, c.argument, dir.file("err")}, inDir);
    EXPECT_EQ(run.err, "status " + std::to_string(c.status) + "\n");
    EXPECT_EQ(readFile(dir.file("err")), c.err);
  }
}
