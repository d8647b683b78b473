#include "scanner.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <string>

#include "failure.h"
#include "test_support.h"

namespace {

std::string table(int queryNr, int rows, const std::string& closing = "(rows)\n") {
  std::string text =
      "-- TPC-H Query " + std::to_string(queryNr) + " (stream 0)\nselect 1;\na|b\n===\n";
  for (int i = 1; i <= rows; ++i)
    text += "x|" + std::to_string(i) + "\n";
  return text + closing;
}

GatheredLog gather(const std::string& path) {
  GatheredLog gathered;
  scanResultAndGenerateOutput(path, nullptr, true, gathered);
  return gathered;
}

// Runs the output pass into a file of dir and returns what it wrote.
std::string outputPass(const TempDir& dir, const std::string& log, GatheredLog& gathered) {
  OutputFile output(dir.file("out.log"));
  scanResultAndGenerateOutput(log, &output, false, gathered);
  output.close();
  return readFile(dir.file("out.log"));
}

TEST(Scanner, CountsEveryTableInOrderOfAppearance) {
  TempDir dir;
  std::string log = dir.file("in.log");
  // Query 16 twice with different sizes; query 3's table is ended directly by
  // the next header; a query without a table; query 11's table is still open
  // at the end of a log whose last row has no newline.
  writeFile(log, table(16, 3) + table(3, 2, "") + table(16, 5) + "-- TPC-H Query 6\nERROR\n" +
                     table(7, 1) + table(11, 4, "") + "x|5");
  GatheredLog gathered = gather(log);
  EXPECT_EQ(gathered.rowsOfTable, (std::vector<uint64_t>{3, 2, 5, 1, 5}));
  EXPECT_TRUE(gathered.rowIndexOfTable.empty());  // nothing large enough to cut
}

TEST(Scanner, IndexesOnlyTheTablesThatAreCut) {
  TempDir dir;
  std::string log = dir.file("in.log");
  writeFile(log, table(16, 10000) + table(12, 20000) + table(20, 10001) + table(11, 30000));
  GatheredLog gathered = gather(log);
  EXPECT_EQ(gathered.rowsOfTable, (std::vector<uint64_t>{10000, 20000, 10001, 30000}));
  ASSERT_EQ(gathered.rowIndexOfTable.size(), 2u);
  EXPECT_EQ(gathered.rowIndexOfTable.count(2), 1u);
  // The index points at the start of each checkpoint row.
  const RowIndex& index = gathered.rowIndexOfTable.at(3);
  std::string content = readFile(log);
  for (uint64_t row : {1u, 64u, 65u, 29999u}) {
    RowIndex::Checkpoint checkpoint = index.checkpointFor(row);
    std::string expected = "x|" + std::to_string(checkpoint.rowNr) + "\n";
    EXPECT_EQ(content.substr(checkpoint.offset, expected.size()), expected) << row;
  }
}

TEST(Scanner, RefusesALogThatChangedAfterTheGatheringPass) {
  TempDir dir;
  std::string log = dir.file("in.log");
  std::string content = table(16, 12000);
  struct Change {
    const char* what;
    void (*apply)(const std::string& path, const std::string& content);
  };
  const Change changes[] = {
      {"grown", [](const std::string& p, const std::string& c) { writeFile(p, c + "x|more\n"); }},
      {"shrunk", [](const std::string& p, const std::string& c) { writeFile(p, c.substr(9)); }},
      {"touched", [](const std::string& p, const std::string&) {
         struct utimbuf times {
           1000000000, 1000000000
         };
         ::utime(p.c_str(), &times);
       }}};
  for (const Change& change : changes) {
    writeFile(log, content);
    GatheredLog gathered = gather(log);
    change.apply(log, content);
    try {
      outputPass(dir, log, gathered);
      ADD_FAILURE() << "no failure for a log " << change.what;
    } catch (const Failure& failure) {
      EXPECT_EQ(std::string(failure.what()),
                log + ": the log changed while streamtrim was reading it")
          << change.what;
    }
  }
}

TEST(Scanner, RefusesRowCountsThatDoNotMatchTheLog) {
  TempDir dir;
  std::string log = dir.file("in.log");
  writeFile(log, table(3, 5) + table(4, 6));
  for (auto tamper : {+[](GatheredLog& g) { g.rowsOfTable[1] = 7; },
                      +[](GatheredLog& g) { g.rowsOfTable.pop_back(); },
                      +[](GatheredLog& g) { g.rowsOfTable.push_back(1); }}) {
    GatheredLog gathered = gather(log);
    tamper(gathered);
    EXPECT_THROW(outputPass(dir, log, gathered), Failure);
  }
  GatheredLog gathered = gather(log);
  EXPECT_EQ(outputPass(dir, log, gathered), readFile(log));
}

}  // namespace
