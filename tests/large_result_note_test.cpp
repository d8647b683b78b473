// A result that stays whole though it looks too large is named by both
// programs on standard error, with its line, its count and what the tool
// looks for; the status, the output and the checker's verdict stay as they
// are. Exactly the cut limit is no note, one more is: rows of a table, lines
// containing "|" after a header of a query that is cut, or lines between two
// headers (or the log's start or end) when none of them is cut.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
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

uint64_t linesOf(const std::string& text) {
  return static_cast<uint64_t>(std::count(text.begin(), text.end(), '\n'));
}

// The text shape makes of the row count that gives it n lines: a shape's
// lines grow by one a row, and by its heading where a new page starts.
std::string withLines(uint64_t n, const std::function<std::string(uint64_t)>& shape) {
  int64_t count = static_cast<int64_t>(n);
  for (int tries = 0; tries < 8; ++tries) {
    std::string text = shape(static_cast<uint64_t>(count));
    int64_t excess = static_cast<int64_t>(linesOf(text)) - static_cast<int64_t>(n);
    if (excess == 0)
      return text;
    count -= excess;
  }
  ADD_FAILURE() << "no row count gives " << n << " lines";
  return "";
}

const std::string kStretch = " lines from here up to the next header stay whole";
const std::string kStrayRows = " lines containing \"|\" after this header of query 16";
const std::string kTable = " rows stays whole, since its header reads as query 0's";

struct Case {
  std::string name;
  std::string log;
  uint64_t line;     // that the note names, 0 for no note
  std::string says;  // the note's count and what it counts
  bool cut = false;  // the log holds a result that is cut
};

// Logs with a result of query 16 that the tool does not read as one: lines
// of a result table in a shape the tool does not read, after a result of
// query 3 and before one of query 16 that the tool reads.
std::vector<Case> shapesAtTheLimit() {
  const std::string before = StreamLog().query(3, 2).text(),
                    after = StreamLog().query(16, 3).text();
  const uint64_t at = linesOf(before);  // the shape's header line, less one
  struct Shape {
    const char* name;
    std::function<std::string(uint64_t)> text;  // of a count, from its header on
  };
  const Shape stretches[] = {
      {"tab-separated rows",
       [](uint64_t r) {
         return "-- TPC-H Query 16\np_brand\tcnt\n===\n" + rows(r, "Brand#11\t") + "(rows)\n\n";
       }},
      {"space-aligned rows under a ruler of dashes",
       [](uint64_t r) {
         return "-- TPC-H Query 16\n p_brand   cnt\n--------- -----\n" + rows(r, " Brand#11  ") +
                "(rows)\n\n";
       }},
      {"a header in lower case",
       [](uint64_t r) {
         return "-- TPC-H query 16\np_brand|cnt\n===\n" + rows(r, "Brand#11|") + "(rows)\n";
       }},
      {"a header without its hyphen",
       [](uint64_t r) {
         return "-- TPCH Query 16\np_brand|cnt\n===\n" + rows(r, "Brand#11|") + "(rows)\n";
       }},
      {"a result in pages of 5000 rows",
       [](uint64_t r) {
         std::string text = "-- TPC-H Query 16\n";
         for (uint64_t page = 0; page * 5000 < r; ++page)
           text += "p_brand|cnt\n===\n" + rows(std::min<uint64_t>(5000, r - page * 5000), "B|");
         return text + "(rows)\n";
       }},
  };
  std::vector<Case> cases;
  for (const Shape& shape : stretches) {
    for (uint64_t lines : {10000, 10001}) {
      // A header not read leaves its lines to the stretch of query 3 before it.
      bool unread = shape.text(0).find("TPC-H Query") == std::string::npos;
      uint64_t first = unread ? 2 : at + 2;
      uint64_t shapeLines = unread ? lines - (at - 1) : lines + 1;
      std::string text = withLines(shapeLines, shape.text);
      cases.push_back({std::string(shape.name) + ", " + std::to_string(lines) + " lines",
                       before + text + after, lines > 10000 ? first : 0,
                       std::to_string(lines) + kStretch});
    }
  }
  // Rows counted as rows: the stray rows' note comes first; one fewer leaves
  // their lines to the stretch's note.
  auto aligned = [](uint64_t r) {
    return "-- TPC-H Query 16\n p_brand | cnt\n---------+-----\n" + rows(r - 1, " Brand#11 | ") +
           "(rows)\n\n";
  };
  auto banner = [](uint64_t r) {
    return "=======\n-- TPC-H Query 16\n=======\np_brand|cnt\n===\n" + rows(r, "Brand#11|") +
           "(rows)\n";
  };
  auto query0 = [](uint64_t r) {
    return "-- TPC-H Query #16\np_brand|cnt\n===\n" + rows(r, "Brand#11|") + "(rows)\n";
  };
  cases.push_back({"aligned with \"|\", 10001 rows", before + aligned(10001) + after, at + 1,
                   "10001" + kStrayRows});
  cases.push_back({"aligned with \"|\", 10000 rows", before + aligned(10000) + after, at + 2,
                   "10003" + kStretch});
  cases.push_back({"a banner of \"=\" framing the header, 10001 rows",
                   before + banner(10001) + after, at + 2, "10001" + kStrayRows});
  cases.push_back({"a banner of \"=\" framing the header, 10000 rows",
                   before + banner(10000) + after, at + 3, "10004" + kStretch});
  cases.push_back({"a header read as query 0, 10001 rows", before + query0(10001) + after, at + 4,
                   "10001" + kTable});
  // A result read as a table within the limit, with its heading: no note.
  cases.push_back({"a header read as query 0, 10000 rows", before + query0(10000) + after, 0, ""});
  cases.push_back(
      {"query 16's 10000 rows", StreamLog().query(16, 10000).query(3, 2).text(), 0, ""});
  // The log's start and end bound a stretch too.
  cases.push_back(
      {"10001 lines before the first header", rows(10001, "x") + after, 1, "10001" + kStretch});
  cases.push_back({"10000 lines before the first header", rows(10000, "x") + after, 0, ""});
  cases.push_back({"10001 lines after the last header",
                   before + "-- TPC-H Query 1\n" + rows(10001, "x"), at + 2, "10001" + kStretch});
  cases.push_back({"10000 lines after the last header",
                   before + "-- TPC-H Query 1\n" + rows(10000, "x"), 0, ""});
  // Beside a table, the stretch's other lines are counted, and lines
  // containing "|" after the table are more of its result.
  auto table = [](uint64_t others, const std::string& after) {
    return "-- TPC-H Query 16\np|c\n===\n" + rows(3, "B|") + after + rows(others - 2, "x");
  };
  cases.push_back({"a table and 10001 other lines", before + table(10001, "") + after, at + 2,
                   "10004" + kStretch});
  cases.push_back({"a table and 10000 other lines", before + table(10000, "") + after, 0, ""});
  cases.push_back({"a table, 10000 other lines and a row after it",
                   before + table(9998, "(3 rows)\nB|more\n") + after, at + 2, "10003" + kStretch});
  cases.push_back({"a table, 10000 other lines and no row after it",
                   before + table(9998, "(3 rows)\nB, more\n") + after, 0, ""});
  // Lines of a cut result stay no stretch, however many.
  // The project's sample log, and a larger one from its generator in two
  // streams, with results of up to the limit, of queries cut or not.
  cases.push_back({"the sample log", readFile(SAMPLE_LOG), 0, "", true});
  TempDir dir;
  const std::string larger = dir.file("larger.log");
  RunResult made = runMakeStreamLog(
      {"--rows", "11=10000", "--rows", "20=9999", "--rows", "3=10000", "--streams", "2", larger});
  EXPECT_EQ(made.status, 0) << made.err;
  cases.push_back({"a larger sample log", readFile(larger), 0, "", true});
  cases.push_back({"a cut result with 10001 lines of text after it",
                   StreamLog().query(16, 12000).text() + rows(10001, "x"), 0, "", true});
  return cases;
}

}  // namespace

TEST(LargeResultNote, BothProgramsNameAResultLeftWholeAboveTheLimit) {
  TempDir dir;
  const std::string file = dir.file("stream.log"), out = dir.file("out.log");
  for (const Case& c : shapesAtTheLimit()) {
    SCOPED_TRACE(c.name);
    writeFile(file, c.log);
    // The previous case's output may be an uncut log, which no run replaces.
    std::filesystem::remove(fsPath(out));
    RunResult trim = runStreamtrim({file, out});
    EXPECT_EQ(trim.status, 0);
    EXPECT_EQ(readFile(out) == c.log, !c.cut);
    RunResult check = runVerify({out, file});
    EXPECT_EQ(check.status, 0);
    EXPECT_TRUE(check.out.ends_with(": verified\n")) << check.out;
    if (c.line == 0) {
      EXPECT_EQ(trim.err + check.err, "");
      continue;
    }
    // Built in steps: GCC 12 sees a false overlap in ":" + std::string (-Wrestrict).
    std::string at = ":";
    at += std::to_string(c.line) + ": note: ";
    ASSERT_EQ(trim.err.rfind("streamtrim: " + file + at, 0), 0u) << trim.err;
    EXPECT_NE(trim.err.find(c.says), std::string::npos) << trim.err;
    EXPECT_NE(trim.err.find("a line containing \"===\" before the rows"), std::string::npos);
    EXPECT_EQ(trim.err.find('\n'), trim.err.size() - 1) << trim.err;
    // The checker names the same line of the cut log, which is the log.
    EXPECT_EQ(check.err, "streamtrim-verify: " + out + trim.err.substr(trim.err.find(at)));
  }
}
