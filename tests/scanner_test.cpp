#include "scanner.h"

#include <gtest/gtest.h>

#include <string>

#include "compressed_forms.h"
#include "decode/decoded_log.h"
#include "system/failure.h"
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
  scanResultAndGenerateOutput(*openLog(path), nullptr, true, gathered);
  return gathered;
}

// Runs the output pass into a file of dir and returns what it wrote.
std::string outputPass(const TempDir& dir, const std::string& log, GatheredLog& gathered) {
  std::unique_ptr<OutputFile> output = openOutputFile(dir.file("out.log"));
  scanResultAndGenerateOutput(*openLog(log), output.get(), false, gathered);
  output->close();
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
  EXPECT_EQ(gathered.tables, 5u);
  EXPECT_TRUE(gathered.cut.empty());  // nothing large enough to cut
  EXPECT_EQ(gathered.index.tables(), 0u);
  RowCountDigest expected;
  uint64_t table = 0;
  for (uint64_t rows : {3, 2, 5, 1, 5})
    expected.add(table++, rows);
  EXPECT_TRUE(gathered.uncut == expected);
}

TEST(Scanner, IndexesOnlyTheTablesThatAreCut) {
  TempDir dir;
  std::string log = dir.file("in.log");
  writeFile(log, table(16, 10000) + table(12, 20000) + table(20, 10001) + table(11, 30000));
  GatheredLog gathered = gather(log);
  EXPECT_EQ(gathered.tables, 4u);
  EXPECT_EQ(gathered.cutRows(), (std::vector<uint64_t>{10001, 30000}));
  ASSERT_EQ(gathered.cut.size(), 2u);
  EXPECT_EQ(gathered.cut[0].table, 2u);
  EXPECT_EQ(gathered.cut[1].table, 3u);
  RowCountDigest uncut;
  uncut.add(0, 10000);
  uncut.add(1, 20000);
  EXPECT_TRUE(gathered.uncut == uncut);
  ASSERT_EQ(gathered.index.tables(), 2u);
  // The index points at the start of each checkpoint row.
  std::string content = readFile(log);
  for (uint64_t row : {300u, 513u, 514u, 29999u}) {
    RowIndex::Checkpoint checkpoint = gathered.index.checkpointFor(1, row);
    ASSERT_NE(checkpoint.rowNr, 0u) << row;
    std::string expected = "x|" + std::to_string(checkpoint.rowNr) + "\n";
    EXPECT_EQ(content.substr(checkpoint.offset, expected.size()), expected) << row;
  }
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  return text.replace(text.find(from), from.size(), to);
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
      {"touched",
       [](const std::string& p, const std::string&) {
         setModificationTime(p, {1000000000, 0});
       }},
      // A kept row's value rewritten, its size and row counts the same, in
      // the second it was written: only the time below the second tells.
      {"rewritten within its second", [](const std::string& p, const std::string& c) {
         ModificationTime before = modificationTime(p);
         writeFile(p, replaced(c, "\nx|500\n", "\nx|005\n"));
         setModificationTime(p, {before.seconds, (before.nanoseconds + 500000000) % 1000000000});
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
  // A compressed log is the compressed file: its stamp tells the change.
  writeFile(log, zstdOf(content));
  GatheredLog gathered = gather(log);
  setModificationTime(log, {1000000000, 0});
  EXPECT_THROW(outputPass(dir, log, gathered), Failure);
}

// Rewrites path with content of the same size and gives it back its
// modification time, so that only the row counts can tell the change.
void rewriteUnnoticed(const std::string& path, const std::string& content) {
  ModificationTime before = modificationTime(path);
  ASSERT_EQ(content.size(), fileSize(path));
  writeFile(path, content);
  setModificationTime(path, before);
}

TEST(Scanner, RefusesChangedRowCountsWhenSizeAndTimeStayTheSame) {
  struct Case {
    const char* change;
    std::string before, after;
  };
  const std::string tail = table(7, 2);
  const Case cases[] = {
      {"two uncut counts swapped", table(3, 5) + table(4, 6) + tail,
       table(3, 6) + table(4, 5) + tail},
      {"an uncut row no longer a row", table(3, 5) + tail,
       replaced(table(3, 5), "\nx|3\n", "\nx 3\n") + tail},
      {"a table less", table(3, 5) + tail, replaced(table(3, 5), "TPC-H", "TPC-X") + tail},
      {"a kept row of a cut table no longer a row", table(16, 12000),
       replaced(table(16, 12000), "\nx|500\n", "\nx 500\n")},
      // The next table would be taken for the cut one, and its jumps would
      // lead back into the rows of the lost one, as many as it had.
      {"a cut table's header lost", table(16, 12000) + table(11, 3000) + tail,
       replaced(table(16, 12000), "TPC-H", "TPC-X") + table(11, 3000) + tail},
  };
  TempDir dir;
  std::string log = dir.file("in.log");
  for (const Case& c : cases) {
    writeFile(log, c.before);
    GatheredLog gathered = gather(log);
    rewriteUnnoticed(log, c.after);
    try {
      outputPass(dir, log, gathered);
      ADD_FAILURE() << "no failure for " << c.change;
    } catch (const Failure& failure) {
      EXPECT_EQ(std::string(failure.what()),
                log + ": the log changed while streamtrim was reading it")
          << c.change;
    }
  }
}

TEST(Scanner, RefusesRowCountsThatDoNotMatchTheLog) {
  TempDir dir;
  std::string log = dir.file("in.log");
  writeFile(log, table(3, 5) + table(4, 6));
  for (auto tamper : {+[](GatheredLog& g) {
                        g.uncut = RowCountDigest();
                        g.uncut.add(0, 5);
                        g.uncut.add(1, 7);
                      },
                      +[](GatheredLog& g) { --g.tables; }, +[](GatheredLog& g) { ++g.tables; }}) {
    GatheredLog gathered = gather(log);
    tamper(gathered);
    EXPECT_THROW(outputPass(dir, log, gathered), Failure);
  }
  GatheredLog gathered = gather(log);
  EXPECT_EQ(outputPass(dir, log, gathered), readFile(log));
}

}  // namespace
