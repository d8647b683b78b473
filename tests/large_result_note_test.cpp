// A result that stays whole though it looks too large is named by both
// programs on standard error, with its line, its count and what the tool
// looks for; the status, the output and the checker's verdict stay as they
// are. Exactly the cut limit is no note, one more is: rows of a table, rows
// containing "|" after a header of a query that is cut, or rows between two
// headers (or the log's start or end) when none of them is cut. Rows, not
// lines: in every client's format, headings, rulers, blank lines, the row
// count under a result and an expanded record's field lines are no rows.

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

std::string counted(uint64_t r) {
  return "(" + std::to_string(r) + " rows)\n";
}

const std::string kHeader = "-- TPC-H Query 16\n";
const std::string kSql = "select p_brand, count(*) as cnt\nfrom part\ngroup by p_brand;\n";

// SQL*Plus's default page: a blank line, the heading and its underline, then
// 11 rows, 14 lines in all; a number first, right-aligned, as SQL*Plus does.
std::string sqlPlusPages(uint64_t r) {
  std::string text = kHeader + "SQL> " + kSql;
  for (uint64_t row = 1; row <= r; ++row) {
    if (row % 11 == 1)
      text += "\n       CNT P_BRAND\n---------- ----------\n";
    std::string count = std::to_string(row);
    text += std::string(10 - count.size(), ' ') + count + " Brand#11\n";
  }
  return text + "\n" + std::to_string(r) + " rows selected.\n\n";
}

// psql's expanded display (\\x): a line that opens each record, then one
// line a column; in a box with \\pset border 2.
std::string psqlExpanded(uint64_t r, bool boxed) {
  const std::string edge = boxed ? "+" : "", side = boxed ? "| " : "", end = boxed ? " |" : "";
  std::string text = kHeader + kSql;
  for (uint64_t row = 1; row <= r; ++row)
    text += edge + "-[ RECORD " + std::to_string(row) + " ]+---------" + edge + "\n" + side +
            "p_brand | Brand#11" + end + "\n" + side + "cnt     | " + std::to_string(row) + end +
            "\n";
  return text + (boxed ? "+---------+----------+\n" : "") + "\nTime: 3.1 ms\n\n";
}

std::string mySqlBox(uint64_t r) {
  const std::string edge = "+----------+-------+\n";
  return kHeader + "mysql> " + kSql + edge + "| p_brand  | cnt   |\n" + edge +
         rows(r, "| Brand#11 | ") + edge + std::to_string(r) + " rows in set (0.02 sec)\n\n";
}

const std::string kStretch = " rows from here up to the next header stay whole";
const std::string kStrayRows = " rows after this header of query 16 stay whole";
const std::string kTable = " rows stays whole, since its header reads as query 0's";

struct Case {
  std::string name;
  std::string log;
  uint64_t line;     // that the note names, 0 for no note
  std::string says;  // the note's count and what it counts
  bool cut = false;  // the log holds a result that is cut
};

// Logs with a result of query 16 that the tool does not read as one, in a
// client's format, after a result of query 3 and before one of query 16
// that the tool reads: 10000 rows are no note, 10001 and 18314 are.
std::vector<Case> formatsAtTheLimit() {
  const std::string before = StreamLog().query(3, 2).text(),
                    after = StreamLog().query(16, 3).text();
  const uint64_t at = linesOf(before);  // the format's header line, less one
  struct Format {
    const char* name;
    std::function<std::string(uint64_t)> text;  // of a count, from its header on
    uint64_t line;                              // that the note names
    std::string says;                           // what it counts
    uint64_t before = 0;  // query 3's rows, in the same stretch when the header is not read
  };
  const Format formats[] = {
      {"psql's aligned format",
       [](uint64_t r) {
         return kHeader + kSql + " p_brand  | cnt\n----------+-----\n" + rows(r, " Brand#11 | ") +
                counted(r) + "\nTime: 3.1 ms\n\n";
       },
       at + 1, kStrayRows},
      {"psql's expanded display", [](uint64_t r) { return psqlExpanded(r, false); }, at + 1,
       kStrayRows},
      {"psql's expanded display in a box", [](uint64_t r) { return psqlExpanded(r, true); }, at + 1,
       kStrayRows},
      {"sqlite3's markdown mode",
       [](uint64_t r) {
         return kHeader + kSql + "| p_brand  | cnt |\n|----------|-----|\n" +
                rows(r, "| Brand#11 | ") + "\n";
       },
       at + 1, kStrayRows},
      {"MySQL's boxed table", mySqlBox, at + 1, kStrayRows},
      {"SQL*Plus's pages", sqlPlusPages, at + 2, kStretch},
      {"tab-separated rows",
       [](uint64_t r) {
         return kHeader + "p_brand\tcnt\n===\n" + rows(r, "Brand#11\t") + counted(r) + "\n";
       },
       at + 2, kStretch},
      {"space-aligned rows under a ruler of dashes",
       [](uint64_t r) {
         return kHeader + " p_brand   cnt\n--------- -----\n" + rows(r, " Brand#11  ") +
                counted(r) + "\n";
       },
       at + 2, kStretch},
      {"a header in lower case",
       [](uint64_t r) {
         return "-- TPC-H query 16\np_brand|cnt\n===\n" + rows(r, "Brand#11|") + counted(r);
       },
       2, kStretch, 2},
      {"a header without its hyphen",
       [](uint64_t r) {
         return "-- TPCH Query 16\np_brand|cnt\n===\n" + rows(r, "Brand#11|") + counted(r);
       },
       2, kStretch, 2},
      {"a result in pages of 9000 rows",
       [](uint64_t r) {
         std::string text = kHeader;
         for (uint64_t page = 0; page * 9000 < r; ++page)
           text += "p_brand|cnt\n===\n" + rows(std::min<uint64_t>(9000, r - page * 9000), "B|");
         return text + counted(r);
       },
       at + 2, kStretch},
      {"a banner of \"=\" framing the header",
       [](uint64_t r) {
         return "=======\n" + kHeader + "=======\np_brand|cnt\n===\n" + rows(r, "Brand#11|") +
                counted(r);
       },
       at + 2, kStrayRows},
      {"a header read as query 0",
       [](uint64_t r) {
         return "-- TPC-H Query #16\np_brand|cnt\n===\n" + rows(r, "Brand#11|") + counted(r);
       },
       at + 4, kTable},
  };
  std::vector<Case> cases;
  for (const Format& format : formats) {
    for (uint64_t count : {10000, 10001, 18314}) {
      std::string log = before + format.text(count - format.before) + after;
      cases.push_back({std::string(format.name) + ", " + std::to_string(count) + " rows", log,
                       count > 10000 ? format.line : 0, std::to_string(count) + format.says});
    }
  }
  return cases;
}

std::vector<Case> stretchesAtTheLimit() {
  const std::string before = StreamLog().query(3, 2).text(),
                    after = StreamLog().query(16, 3).text();
  const uint64_t at = linesOf(before);
  std::vector<Case> cases;
  cases.push_back(
      {"query 16's 10000 rows", StreamLog().query(16, 10000).query(3, 2).text(), 0, ""});
  // The log's start and end bound a stretch too.
  cases.push_back(
      {"10001 lines before the first header", rows(10001, "x") + after, 1, "10001" + kStretch});
  cases.push_back({"10000 lines before the first header and lines of blanks",
                   rows(10000, "x") + " \t\r\n\t\n" + after, 0, ""});
  cases.push_back({"10001 lines after the last header, each a row count but for its number",
                   before + "-- TPC-H Query 1\n" + rows(10001, "( rows "), at + 2,
                   "10001" + kStretch});
  cases.push_back({"10000 lines after the last header",
                   before + "-- TPC-H Query 1\n" + rows(10000, "x"), 0, ""});
  // Beside a table, the stretch's other lines are counted, and rows
  // containing "|" after the table are more of its result; before it, under
  // a ruler, they are the query's text.
  auto table = [](const std::string& before, uint64_t rows, const std::string& after) {
    return "-- TPC-H Query 3\n--\n" + before + "p|c\n===\n" + ::rows(rows, "B|") + after;
  };
  cases.push_back({"a table and 10001 other lines", before + table("", 3, rows(10001, "x")) + after,
                   at + 2, "10001" + kStretch});
  cases.push_back(
      {"a table and 10000 other lines", before + table("", 3, rows(10000, "x")) + after, 0, ""});
  cases.push_back({"a table of 5000 rows and 5001 rows after it",
                   before + table("", 5000, "(5000 rows)\n" + rows(5001, "B|")) + after, at + 2,
                   "10001" + kStretch});
  cases.push_back({"a table of 5000 rows and 5000 rows after it",
                   before + table("", 5000, "(5000 rows)\n" + rows(5000, "B|")) + after, 0, ""});
  cases.push_back({"a table of 5000 rows and 5001 rows before it",
                   before + table(rows(5001, "B|"), 5000, "(5000 rows)\n") + after, 0, ""});
  // A table's last row is the next page's heading when a ruler follows it.
  for (uint64_t count : {10000, 10001}) {
    std::string pages = "-- TPC-H Query #16\np|c\n===\n" + rows(count, "B|") + "p|c\n===\n";
    cases.push_back(
        {"a header read as query 0, " + std::to_string(count) + " rows and the next page's heading",
         before + pages + after, count > 10000 ? at + 4 : 0, std::to_string(count) + kTable});
  }
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
  std::vector<Case> cases = formatsAtTheLimit(), stretches = stretchesAtTheLimit();
  cases.insert(cases.end(), stretches.begin(), stretches.end());
  for (const Case& c : cases) {
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
    if (trim.err.rfind("streamtrim: " + file + at, 0) != 0) {
      ADD_FAILURE() << "no note at line " << c.line << ": " << trim.err;
      continue;  // the other cases still run
    }
    EXPECT_NE(trim.err.find(c.says), std::string::npos) << trim.err;
    EXPECT_NE(trim.err.find("a line containing \"===\" before the rows"), std::string::npos);
    EXPECT_EQ(trim.err.find('\n'), trim.err.size() - 1) << trim.err;
    // The checker names the same line of the cut log, which is the log.
    EXPECT_EQ(check.err, "streamtrim-verify: " + out + trim.err.substr(trim.err.find(at)));
  }
}
