// Logs in which no result is cut come out exactly as they went in, whether
// written to a file or to standard output.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.h"

using namespace std::string_literals;

namespace {

std::string header(int query, int position) {
  return "-- TPC-H Query " + std::to_string(query) + " (stream 0, position " +
         std::to_string(position) + "/22) started 2026-12-07 07:46:37\n";
}

// The heading, the "=" line and rows of a two-column result, without the
// line that ends the table.
std::string table(int rows) {
  std::string text = "ps_partkey|value\n================\n";
  for (int row = 1; row <= rows; ++row)
    text += std::to_string(row * 7 + 3) + "|" + std::to_string(row * 31 % 9973) + ".25\n";
  return text;
}

// One query's section as psql prints it: header, SQL, result, row count,
// timing and an empty line.
std::string section(int query, int position, int rows) {
  return header(query, position) +
         "select\n\tps_partkey,\n\tsum(ps_supplycost * ps_availqty) as value\nfrom\n"
         "\tpartsupp\ngroup by\n\tps_partkey;\n" +
         table(rows) + "(" + std::to_string(rows) + " rows)\nTime: 412.907 ms\n\n";
}

// Runs the tool on log, to a file and to standard output, and expects
// expected in both.
void expectOutput(const std::string& log, const std::string& expected) {
  TempDir dir;
  writeFile(dir.file("in.log"), log);
  RunResult toFile = runStreamtrim({dir.file("in.log"), dir.file("out.log")});
  EXPECT_EQ(toFile.status, 0);
  EXPECT_EQ(withoutNotes(toFile.err), "");
  EXPECT_EQ(toFile.out, "");
  ASSERT_TRUE(fileExists(dir.file("out.log")));
  EXPECT_TRUE(readFile(dir.file("out.log")) == expected) << "file output differs";
  RunResult toStdout = runStreamtrim({dir.file("in.log")});
  EXPECT_EQ(toStdout.status, 0);
  EXPECT_EQ(withoutNotes(toStdout.err), "");
  EXPECT_TRUE(toStdout.out == expected) << "standard output differs";
}

}  // namespace

TEST(Copy, LogsWithoutCutResultsAreReproduced) {
  const std::string promo =
      header(14, 1) +
      "select\n\t100.00 * sum(l_extendedprice) as promo_revenue\nfrom\n\tlineitem;\n"
      "promo_revenue\n=============\n16.7286491435412622\n(1 row)\nTime: 703.218 ms\n\n";
  struct Case {
    const char* name;
    std::string log;
  };
  const std::vector<Case> cases = {
      {"stream", "-- TPC-H power test stream 0: PostgreSQL 15.18, scale factor 1\n\n" + promo +
                     section(3, 2, 10) + section(11, 3, 10000) + section(3, 4, 20000) +
                     section(16, 5, 10000) + section(20, 6, 186)},
      {"empty", ""},
      {"no header lines", "some text\nwith|bars\n===\nmore|rows\n\n\n"},
      // A header directly after a table's last row starts the next query:
      // the big table that follows is query 3's, not query 11's.
      {"header after last row", header(11, 1) + table(3) + header(3, 2) + table(20000) +
                                    header(11, 3) + table(10000) + "(10000 rows)\n"},
      // A query that printed no table must not lend its number to the next
      // query's table.
      {"failed query",
       header(11, 1) + "select\n\tps_partkey\nfrom\n\tpartsupp;\n" +
           "ERROR:  canceling statement due to statement timeout\nTime: 3600000.512 ms\n\n" +
           section(3, 2, 20000)},
      // Past the first 64 KiB, where a NUL byte no longer makes a binary file.
      {"carriage returns and zero bytes",
       std::string(64 * 1024, '-') + "\n" +
           "-- TPC-H Query 3 (stream 0)\r\nselect\0 1;\r\nx|y\r\n====\r\n1|\0\r\n\r|\r\n"
           "(2 rows)\r\n\0\n\r\n"s},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    expectOutput(c.log, c.log);
  }
}

TEST(Copy, LastLineWithoutNewlineIsWrittenWithOne) {
  const std::vector<std::string> logs = {
      "no newline at all",
      section(3, 1, 5) + "Time: 1.5 ms",
      // A log cut off in the middle of a table: its last row still counts
      // and is kept (10000 rows are not cut).
      header(11, 1) + table(10000).substr(0, table(10000).size() - 1),
  };
  for (const std::string& log : logs) {
    SCOPED_TRACE(log.substr(0, 40));
    expectOutput(log, log + "\n");
  }
}
