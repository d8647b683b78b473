// A log in UTF-16 is refused by both programs, with the conversion to make:
// none of its lines could ever be recognised, so a copy would be no cut.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.h"

TEST(Utf16Log, BothProgramsRefuseItAndTouchNoOutput) {
  TempDir dir;
  const std::string utf16 = dir.file("utf16.log");
  const std::string cut = dir.file("cut.log");
  const std::string old = dir.file("old.log");
  writeFile(cut, "-- TPC-H Query 1\n");
  struct Case {
    const char* byteOrderMark;
    bool checker;
    std::vector<std::string> args;
    int status;
  };
  const std::vector<Case> cases = {
      {"\xff\xfe", false, {utf16}, 1},      {"\xfe\xff", false, {utf16, dir.file("new.log")}, 1},
      {"\xff\xfe", false, {utf16, old}, 1}, {"\xff\xfe", true, {utf16}, 2},
      {"\xfe\xff", true, {cut, utf16}, 2},  {"\xff\xfe", true, {"--any-sample", cut, utf16}, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.back());
    writeFile(utf16, std::string(c.byteOrderMark) + std::string("-\0-\0\n\0", 6));
    writeFile(old, "previous output\n");
    RunResult run = c.checker ? runVerify(c.args) : runStreamtrim(c.args);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.out, "");
    const std::string prefix =
        std::string(c.checker ? "streamtrim-verify: " : "streamtrim: ") + utf16 + ": a UTF-16 log";
    EXPECT_EQ(run.err.rfind(prefix, 0), 0u) << run.err;
    EXPECT_NE(run.err.find("convert it to UTF-8"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
    EXPECT_FALSE(fileExists(dir.file("new.log")));
    EXPECT_EQ(readFile(old), "previous output\n");
  }
}
