// A result that stays whole though it looks too large is named by both
// programs on standard error, with its line, its row count and what the tool
// looks for; the status, the output and the checker's verdict stay as they
// are. Exactly the cut limit is no note, one more is.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "stream_log.h"
#include "test_support.h"

namespace {

std::string rows(uint64_t count, const std::string& text) {
  std::string lines;
  for (uint64_t r = 1; r <= count; ++r)
    lines += text + std::to_string(r) + "\n";
  return lines;
}

// The note after "<program>: ": the same from both programs.
std::string afterProgramName(const std::string& err) {
  size_t name = err.find(": ");
  return name == err.npos ? err : err.substr(name + 2);
}

}  // namespace

TEST(LargeResultNote, BothProgramsNameAResultLeftWholeAboveTheLimit) {
  // Each shape holds n lines that look like rows of query 16; the note names
  // the line `line` of it.
  struct Case {
    const char* name;
    std::string (*shape)(uint64_t n);
    uint64_t line;
    const char* counted;
  };
  const std::vector<Case> cases = {
      {"a header read as query 0 (no digit after the one skipped character)",
       [](uint64_t n) {
         return "-- TPC-H Query #16\np_brand|cnt\n===\n" + rows(n, "Brand#11|") + "(rows)\n";
       },
       4, " rows stays whole"},
      {"PostgreSQL's aligned output: a ruler, no \"===\"",
       [](uint64_t n) {
         return "-- TPC-H Query 16\n p_brand | cnt\n---------+-----\n" +
                rows(n - 1, " Brand#11 | ") + "(rows)\n\n";
       },
       1, " lines containing \"|\""},
      {"a banner framing the header: its second line starts a table the heading ends",
       [](uint64_t n) {
         return "=======\n-- TPC-H Query 16\n=======\np_brand|cnt\n===\n" + rows(n, "Brand#11|") +
                "(rows)\n";
       },
       2, " lines containing \"|\""},
  };
  TempDir dir;
  const std::string file = dir.file("stream.log"), out = dir.file("out.log");
  const std::string before = StreamLog().query(3, 2).text();
  const uint64_t linesBefore =
      static_cast<uint64_t>(std::count(before.begin(), before.end(), '\n'));
  for (const Case& c : cases) {
    for (uint64_t n : {10000, 10001}) {
      SCOPED_TRACE(std::string(c.name) + ", " + std::to_string(n));
      const std::string log = before + c.shape(n) + StreamLog().query(16, 3).text();
      writeFile(file, log);
      RunResult trim = runStreamtrim({file, out});
      EXPECT_EQ(trim.status, 0);
      EXPECT_EQ(readFile(out), log);
      RunResult check = runVerify({file});
      EXPECT_EQ(check.status, 0);
      EXPECT_TRUE(check.out.ends_with(": verified\n")) << check.out;
      if (n == 10000) {
        EXPECT_EQ(trim.err + check.err, "");
        continue;
      }
      const std::string note = file + ":" + std::to_string(linesBefore + c.line) + ": note: ";
      EXPECT_EQ(trim.err.rfind("streamtrim: " + note, 0), 0u) << trim.err;
      EXPECT_NE(trim.err.find(std::to_string(n) + c.counted), std::string::npos) << trim.err;
      EXPECT_NE(trim.err.find("a line containing \"===\" before the rows"), std::string::npos);
      EXPECT_EQ(trim.err.find('\n'), trim.err.size() - 1) << trim.err;
      EXPECT_EQ(afterProgramName(check.err), afterProgramName(trim.err));
    }
  }
}
