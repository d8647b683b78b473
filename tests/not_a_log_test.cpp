// Files that are no log to cut are refused by both programs with one line,
// before any output is touched: compressed files and archives, logs in UTF-16
// without a byte-order mark, and, as the log to cut or the original to check
// against, logs that streamtrim has cut already. Near-misses are logs.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "stream_log.h"
#include "test_support.h"

namespace {

// gzip, bzip2, xz, zstd, lz4, zip (an entry, an empty and a spanned archive), 7z.
const std::vector<std::string> kSignatures = {"\x1f\x8b",
                                              "BZh",
                                              std::string("\xfd\x37\x7a\x58\x5a\x00", 6),
                                              "\x28\xb5\x2f\xfd",
                                              "\x04\x22\x4d\x18",
                                              "PK\x03\x04",
                                              "PK\x05\x06",
                                              "PK\x07\x08",
                                              "7z\xbc\xaf\x27\x1c"};

const std::string kHeader = "-- TPC-H Query 16 (stream 0)\n";
const std::string kMarker = "----------- deleted 7 rows -----------";

// The last line of text, without its line break.
std::string lastLine(const std::string& text) {
  size_t end = text.empty() ? 0 : text.size() - 1;
  size_t start = text.rfind('\n', end == 0 ? 0 : end - 1);
  start = start == text.npos || end == 0 ? 0 : start + 1;
  return text.substr(start, end - start);
}

}  // namespace

TEST(NotALog, IsRefusedByBothProgramsWithNoOutputTouched) {
  TempDir dir;
  const std::string file = dir.file("stream.log.x"), old = dir.file("old.log"),
                    fresh = dir.file("new.log"), cut = dir.file("cut.log");
  writeFile(cut, "-- TPC-H Query 1\n");
  const std::string log = StreamLog().query(3, 2).query(16, 12000).text();
  writeFile(dir.file("original.log"), log);
  ASSERT_EQ(runStreamtrim({dir.file("original.log"), dir.file("cut-of-it.log")}).status, 0);
  struct Case {
    std::string content;
    std::string says;
    bool asCutLog;  // the checker refuses it as the cut log too, not only as the original
  };
  std::vector<Case> cases = {
      {utf16(log, false), "a UTF-16 log (UTF-16LE without a byte-order mark", true},
      {utf16(log, true), "a UTF-16 log (UTF-16BE without a byte-order mark", true},
      {readFile(dir.file("cut-of-it.log")), "already a cut log", false},
  };
  for (const std::string& signature : kSignatures)
    cases.push_back({signature + "\x08payload\n", "", true});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.says.empty() ? c.content.substr(0, 6) : c.says);
    writeFile(file, c.content);
    // A packed file's message names its format and the command that unpacks it.
    auto refusesIt = [&](const std::string& line, const std::string& program) {
      EXPECT_EQ(line.rfind(program + ": " + file + ": " + c.says, 0), 0u) << line;
      if (c.says.empty()) {
        EXPECT_TRUE(line.find(", not a log; unpack it first, for example with ") != line.npos &&
                    line.ends_with(" " + file))
            << line;
      }
    };
    for (const std::string& output : {old, fresh}) {
      writeFile(old, "previous output\n");
      RunResult run = runStreamtrim({file, output});
      EXPECT_EQ(run.status, 1);
      EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
      refusesIt(lastLine(run.err), "streamtrim");
      EXPECT_EQ(readFile(old), "previous output\n");
      EXPECT_FALSE(fileExists(fresh));
    }
    std::vector<std::vector<std::string>> checks = {{cut, file}, {"--any-sample", cut, file}};
    if (c.asCutLog)
      checks.push_back({file});
    for (const auto& args : checks) {
      RunResult run = runVerify(args);
      EXPECT_EQ(run.status, 2) << args.size();
      // What the whole original tells comes after the problems found on the way.
      refusesIt(lastLine(run.err), "streamtrim-verify");
    }
  }
}

TEST(NotALog, NearMissesAreLogs) {
  TempDir dir;
  const std::string file = dir.file("stream.log");
  std::vector<std::string> cases = {
      kHeader + "x\n" + kMarker + "\n\n",      // no empty line before the marker
      kHeader + "\n" + kMarker + "\nx\n",      // none after it
      kHeader + "\n" + kMarker + " \n\n",      // other text on it
      utf16(kHeader, false) + "\n" + kHeader,  // UTF-16 and a readable header
  };
  for (const std::string& signature : kSignatures)
    cases.push_back(signature.substr(0, signature.size() - 1) + "\n");  // a byte short
  for (const std::string& content : cases) {
    SCOPED_TRACE(content.substr(0, 40));
    writeFile(file, content);
    RunResult run = runStreamtrim({file, dir.file("out.log")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(readFile(dir.file("out.log")), content);
    EXPECT_EQ(runVerify({file, file}).status, 0);
  }
}

// To tell a cut log given as the original, the checker reads the original to
// its end even once the comparison has stopped; a problem found on the way
// still names the line where it was found.
TEST(NotALog, AnOriginalReadToItsEndKeepsTheLinesOfItsProblems) {
  TempDir dir;
  writeFile(dir.file("cut.log"), "-- TPC-H Query 1\nselect 1;\n");
  writeFile(dir.file("original.log"), "-- TPC-H Query 1\nselect 1;\nselect 2;\nselect 3;\n");
  RunResult run = runVerify({dir.file("cut.log"), dir.file("original.log")});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(
      run.err.rfind("streamtrim-verify: " + dir.file("original.log") + ":3: expected the end", 0),
      0u)
      << run.err;
}
