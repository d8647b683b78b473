// What only Windows has: names converted between UTF-8 and UTF-16, the
// system's messages, consoles without escape sequences, logs other programs
// lock, devices by their DOS names, and pipes whose reader has gone without a
// signal to say so.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "input_file.h"
#include "test_support.h"
#include "test_support_windows.h"
#include "windows_text.h"

namespace {

// One line on standard error, status 1, nothing on standard output.
void expectOneLineFailure(const RunResult& run, const std::string& message) {
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, message);
}

}  // namespace

// Every name reaches the system as the user wrote it and comes back the
// same, also a name with an unpaired surrogate, which Windows allows and
// which a converter that substitutes U+FFFD would make unreachable.
TEST(WindowsText, NamesConvertBothWaysLosslessly) {
  struct Case {
    std::string utf8;
    std::wstring utf16;
  };
  const std::vector<Case> cases = {
      {"stream0.log", L"stream0.log"},
      {"\xc3\xa9", L"\u00e9"},
      {"\xe6\x97\xa5\xe6\x9c\xac \xc3\xa9.log", L"\u65e5\u672c \u00e9.log"},
      {"\xf0\x9f\x98\x80.log", L"\xd83d\xde00.log"},            // outside the BMP: a surrogate pair
      {"a\xed\xa0\x80z", L"a\xd800z"},                          // an unpaired high surrogate
      {"\xed\xb0\x80", L"\xdc00"},                              // an unpaired low surrogate
      {"\xed\xa0\xbd\xf0\x9f\x98\x80", L"\xd83d\xd83d\xde00"},  // one before a pair
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.utf8);
    EXPECT_EQ(widen(c.utf8), c.utf16);
    EXPECT_EQ(narrow(c.utf16), c.utf8);
  }
}

// A byte that starts no valid sequence becomes one U+FFFD, and what follows
// it is read afresh.
TEST(WindowsText, BytesThatAreNoUtf8BecomeReplacementCharacters) {
  struct Case {
    std::string utf8;
    std::wstring utf16;
  };
  const std::vector<Case> cases = {
      {"\xff", L"\xfffd"},
      {"a\xc3", L"a\xfffd"},                              // cut short at the end
      {"\xe6\x97x", L"\xfffd\xfffdx"},                    // cut short before an ASCII letter
      {"\xc0\xaf", L"\xfffd\xfffd"},                      // overlong
      {"\xe0\x80\xaf", L"\xfffd\xfffd\xfffd"},            // overlong
      {"\xf4\x90\x80\x80", L"\xfffd\xfffd\xfffd\xfffd"},  // past U+10FFFF
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.utf8));
    EXPECT_EQ(widen(c.utf8), c.utf16);
  }
}

// Windows ends its messages with a full stop and a line break, and some run
// over several lines; a failure must still be one line.
TEST(WindowsText, SystemMessagesAreOneLineWithoutFullStop) {
  for (DWORD error : {ERROR_FILE_NOT_FOUND, ERROR_SHARING_VIOLATION, ERROR_DISK_FULL, ERROR_NO_DATA,
                      ERROR_ACCESS_DENIED}) {
    SCOPED_TRACE(error);
    std::string message = systemMessage(error);
    ASSERT_FALSE(message.empty());
    EXPECT_EQ(message.find_first_of("\r\n"), std::string::npos) << message;
    EXPECT_NE(message.back(), '.') << message;
    EXPECT_NE(message.back(), ' ') << message;
  }
  EXPECT_EQ(systemMessage(0x20000123), "system error 536871203");  // no message for it
}

// On a console without escape sequences the erasure becomes spaces up to the
// last column but one and the line's own text again, so that the cursor is
// left where the erasure found it.
TEST(LineErasure, SpellsOutTheErasureInSpaces) {
  struct Case {
    const char* name;
    std::vector<std::string> writes;
    int width;
    std::string shown;
  };
  const std::vector<Case> cases = {
      {"erasing a line", {"\r\x1b[K"}, 10, "\r" + std::string(9, ' ').append("\r")},
      {"drawing a line", {"\rab\x1b[K"}, 6, "\rab   \rab"},
      {"redrawn, erased, replaced by the summary",
       {"\rpass 1\x1b[K", "\rpass 2\x1b[K", "\r\x1b[K", "done\n"},
       10,
       "\rpass 1   \rpass 1\rpass 2   \rpass 2\r" + std::string(9, ' ') + "\rdone\n"},
      {"after a newline", {"a\nb\x1b[K"}, 4, "a\nb  \rb"},
      {"a letter of two bytes takes one column",
       {"\r\xc3\xa9\x1b[K"},
       5,
       "\r\xc3\xa9   \r\xc3\xa9"},
      {"unknown width", {"\r\x1b[K"}, 0, "\r" + std::string(79, ' ') + "\r"},
      {"no escape, no change", {"\r50%", " 1 MB/s"}, 10, "\r50% 1 MB/s"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LineErasure erasure;
    std::string shown;
    for (const std::string& write : c.writes)
      shown += erasure.translate(write, c.width);
    EXPECT_EQ(shown, c.shown);
  }
}

// A log and a cut log named in any language are read and written, and a
// message names them as given.
TEST(WindowsFiles, NamesInAnyLanguageWorkAsInputAndOutput) {
  TempDir dir;
  const std::string log = dir.file("\xe6\x97\xa5\xe6\x9c\xac \xc3\xa9.log");
  const std::string cut = dir.file("\xe5\x87\xba\xe5\x8a\x9b \xc3\xa9.log");
  writeFile(log, readFile(SAMPLE_LOG));
  RunResult toStdout = runStreamtrim({log});
  ASSERT_EQ(toStdout.status, 0) << toStdout.err;
  RunResult toFile = runStreamtrim({log, cut});
  EXPECT_EQ(toFile.status, 0) << toFile.err;
  EXPECT_TRUE(readFile(cut) == toStdout.out) << "the cut log differs";

  const std::string nowhere = dir.file("\xe7\x84\xa1\xe3\x81\x84/\xc3\xa9.log");
  expectOneLineFailure(
      runStreamtrim({log, nowhere}),
      "streamtrim: " + nowhere + ": " + systemReason(SystemError::kNoSuchDirectory) + "\n");
}

// A log another program holds open without sharing fails the run in the
// first pass, before any output is created or emptied.
TEST(WindowsFiles, LockedLogFailsBeforeAnyOutput) {
  TempDir dir;
  const std::string log = dir.file("in.log");
  writeFile(log, readFile(SAMPLE_LOG));
  const std::string failure =
      "streamtrim: " + log + ": " + windowsReason(ERROR_SHARING_VIOLATION) + "\n";
  writeFile(dir.file("old.log"), "previous output\n");
  LockedFile lock = lockFile(log);
  expectOneLineFailure(runStreamtrim({log}), failure);
  expectOneLineFailure(runStreamtrim({log, dir.file("new.log")}), failure);
  EXPECT_FALSE(fileExists(dir.file("new.log")));
  expectOneLineFailure(runStreamtrim({log, dir.file("old.log")}), failure);
  EXPECT_EQ(readFile(dir.file("old.log")), "previous output\n");
}

// Devices have names in every folder; none is a log. Which reason a console
// gets depends on whether the test has one, but it is one line.
TEST(WindowsFiles, DevicesAreNoLogs) {
  TempDir dir;
  RunOptions inDir;
  inDir.cwd = dir.path();
  expectOneLineFailure(runStreamtrim({"NUL", "out.log"}, inDir),
                       std::string("streamtrim: NUL: ") + kLogNotRegular + "\n");
  for (const char* console : {"CON", "CONIN$"}) {
    SCOPED_TRACE(console);
    RunResult run = runStreamtrim({console, "out.log"}, inDir);
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.starts_with(std::string("streamtrim: ") + console + ": ")) << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
  }
  EXPECT_FALSE(fileExists(dir.file("out.log")));
}

// Windows has no SIGPIPE: when the reader of the cut log quits, the run
// fails with one line naming standard output, as Windows' own commands do.
TEST(WindowsPipes, ReaderThatQuitsFailsTheRunWithOneLine) {
  Pipe out;
  Pipe err;
  int pid = startStreamtrim({SAMPLE_LOG}, out.fds[1], err.fds[1]);
  closeDescriptor(out.fds[1]);
  closeDescriptor(err.fds[1]);
  closeDescriptor(out.fds[0]);  // the reader quits before reading a byte
  std::string message;
  char buffer[4096];
  for (long got; (got = readDescriptor(err.fds[0], buffer, sizeof buffer)) > 0;)
    message.append(buffer, static_cast<size_t>(got));
  EXPECT_EQ(waitForExit(pid), 1);
  EXPECT_EQ(message, "streamtrim: standard output: " + windowsReason(ERROR_NO_DATA) + "\n");
}
