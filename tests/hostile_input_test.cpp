// Inputs that a careless tool would crash on, hang on or silently get wrong:
// a line of 100 MB, a million tiny tables, zero bytes, query numbers that
// overflow, and a log that changes while the tool reads it.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <exception>
#include <filesystem>
#include <string>
#include <thread>

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

// Runs streamtrim on a large log while change() keeps altering it. A change
// that fails (the file busy for a moment) is tried again.
RunResult runWhileChanging(const std::string& path, void (*change)(const std::string&)) {
  std::atomic<bool> done{false};
  std::thread changer([&] {
    while (!done) {
      try {
        change(path);
      } catch (const std::exception&) {
      }
      std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
  });
  RunResult run = runStreamtrim({path, path + ".out"});
  done = true;
  changer.join();
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
  std::string log = header("20") + rows(12000, "a\0b|\r"s) + "\0(rows)\r\n"s;
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
  // An uncut result, long enough for the changes to land. Whether the first
  // pass or the second sees them, the note that this large result stays
  // whole may or may not come first.
  std::string log = header("3") + rows(300000);
  auto grow = [](const std::string& p) { appendFile(p, "x|more\n"); };
  auto shrink = [](const std::string& p) {
    std::filesystem::resize_file(fsPath(p), fileSize(p) - 10);
  };
  for (auto change : {+grow, +shrink}) {
    writeFile(path, log);
    RunResult run = runWhileChanging(path, change);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(withoutNotes(run.err),
              "streamtrim: " + path + ": the log changed while streamtrim was reading it\n");
  }
}
