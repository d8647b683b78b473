// Inputs that a careless tool would crash on, hang on or silently get wrong:
// a line of 100 MB, a million tiny tables, zero bytes, query numbers that
// overflow, and a log that changes while the tool reads it.

#include <gtest/gtest.h>

#include <chrono>
#include <exception>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "test_support.h"

using namespace std::string_literals;

namespace {

std::string header(const std::string& number) {
  return "-- TPC-H Query " + number + " (stream 0, position 1/22)\nselect;\na|b\n===\n";
}

std::string rows(int count, const std::string& text = "x|") {
  std::string result;
  for (int row = 1; row <= count; ++row)
    result += text + std::to_string(row) + "\n";
  return result;
}

void expectCopiedUnchanged(const std::string& log) {
  TempDir dir;
  writeFile(dir.file("in.log"), log);
  RunResult run = runStreamtrim({dir.file("in.log"), dir.file("out.log")});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(withoutNotes(run.err), "");
  EXPECT_TRUE(readFile(dir.file("out.log")) == log);
}

// A change that fails (the file busy for a moment, on Windows) is tried
// again, for up to a second.
void changeRetried(const std::string& path, void (*change)(const std::string&)) {
  for (int attempt = 1;; ++attempt) {
    try {
      change(path);
      return;
    } catch (const std::exception&) {
      if (attempt == 100)
        throw;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

// Runs streamtrim on a large log to its standard output, a pipe, and makes
// change() once the output has begun. The gathering pass, which checks that
// the log is the one it opened, has ended by then, and the output pass cannot
// end: it writes far more than the pipe and its own block hold, and the rest
// is read only after the change. So the change always falls between the
// first check and the last, however the system schedules the run.
RunResult runChangedDuringOutput(const std::string& path, void (*change)(const std::string&)) {
  Pipe out, err;
  int pid = startStreamtrim({path}, out.fds[1], err.fds[1]);
  closeDescriptor(out.fds[1]);
  closeDescriptor(err.fds[1]);
  RunResult run;
  std::vector<int> open = {out.fds[0], err.fds[0]};
  bool changed = false;
  char bytes[65536];
  while (!open.empty()) {
    int ready = waitForInput(open, 60000);
    if (ready < 0) {
      ADD_FAILURE() << "the run hangs";
      break;
    }
    int fd = open[static_cast<size_t>(ready)];
    long got = readDescriptor(fd, bytes, fd == out.fds[0] && !changed ? 1 : sizeof bytes);
    if (got <= 0) {
      open.erase(open.begin() + ready);
      continue;
    }
    (fd == out.fds[0] ? run.out : run.err).append(bytes, static_cast<size_t>(got));
    if (fd == out.fds[0] && !changed) {
      changeRetried(path, change);
      changed = true;
    }
  }
  EXPECT_TRUE(changed) << "no output";
  run.status = waitForExit(pid);
  return run;
}

}  // namespace

TEST(HostileInput, LineOf100MegabytesIsCopiedWhole) {
  std::string huge(100 << 20, 'y');
  // As the first row of a result that is cut (always kept), then as the
  // unterminated last line of the log, outside any result.
  std::string log = header("16") + "x|" + huge + "\n" + rows(11000) + "(rows)\n" + huge;
  TempDir dir;
  writeFile(dir.file("in.log"), log);
  RunResult run = runStreamtrim({dir.file("in.log"), dir.file("out.log")});
  ASSERT_EQ(run.status, 0) << run.err;
  std::string out = readFile(dir.file("out.log"));
  std::string first = header("16") + "x|" + huge + " [row: 1]\n";
  std::string last = "x|11000 [row: 11001]\n(rows)\n" + huge + "\n";
  ASSERT_GE(out.size(), first.size() + last.size());
  EXPECT_TRUE(out.compare(0, first.size(), first) == 0) << "first row not kept whole";
  EXPECT_TRUE(out.compare(out.size() - last.size(), last.size(), last) == 0) << "end differs";
}

TEST(HostileInput, MillionTinyTablesAreCopied) {
  std::string log;
  for (int table = 0; table < 1000000; ++table)
    log += "TPC-H Query 11\n===\nr|" + std::to_string(table) + "\n";
  expectCopiedUnchanged(log);
}

TEST(HostileInput, ZeroBytesAndCarriageReturnsSurviveTheCut) {
  // Past the first 64 KiB, where a NUL byte no longer makes a binary file.
  std::string log =
      std::string(64 * 1024, '-') + "\n" + header("20") + rows(12000, "a\0b|\r"s) + "\0(rows)\r\n"s;
  TempDir dir;
  writeFile(dir.file("in.log"), log);
  RunResult run = runStreamtrim({dir.file("in.log")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("\na\0b|\r1 [row: 1]\n"s), std::string::npos);
  EXPECT_NE(run.out.find("\na\0b|\r12000 [row: 12000]\n\0(rows)\r\n"s), std::string::npos);
}

TEST(HostileInput, OverflowingQueryNumbersNeverWrapToACutQuery) {
  // 4294967312 is 2^32 + 16 and -4294967280 is 16 - 2^32: a conversion that
  // wrapped around would take both for query 16 and cut them.
  for (const char* number : {"4294967312", "-4294967280", "99999999999999999999999999"})
    expectCopiedUnchanged(header(number) + rows(20000) + "(rows)\n");
}

TEST(HostileInput, LogChangingWhileReadIsReported) {
  TempDir dir;
  std::string path = dir.file("in.log");
  // An uncut result of 2.6 MB in few lines, each written on its own to the
  // pipe.
  std::string log = header("3") + rows(4000, "x|" + std::string(640, 'y') + "|");
  auto grow = [](const std::string& p) { appendFile(p, "x|more\n"); };
  auto shrink = [](const std::string& p) {
    std::filesystem::resize_file(fsPath(p), fileSize(p) - 10);
  };
  for (auto change : {+grow, +shrink}) {
    writeFile(path, log);
    RunResult run = runChangedDuringOutput(path, change);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(withoutNotes(run.err),
              "streamtrim: " + path + ": the log changed while streamtrim was reading it\n");
  }
}
