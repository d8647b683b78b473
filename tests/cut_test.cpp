// End to end: which results the built binary cuts, and what a cut result
// looks like, checked by reading the output back rather than against stored
// files.

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "stream_log.h"
#include "test_support.h"

namespace {

// Runs streamtrim on log and returns the output file it wrote.
std::string trim(const std::string& log) {
  TempDir dir;
  writeFile(dir.file("stream.log"), log);
  RunResult run = runStreamtrim({dir.file("stream.log"), dir.file("cut.log")});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(withoutNotes(run.err), "");
  return fileExists(dir.file("cut.log")) ? readFile(dir.file("cut.log")) : "";
}

// The samples a fresh process draws for cut results of these sizes, in turn.
std::vector<std::vector<uint64_t>> probeSamples(const std::vector<uint64_t>& sizes) {
  std::vector<std::string> args{"sample"};
  for (uint64_t size : sizes)
    args.push_back(std::to_string(size));
  RunResult run = runSamplerProbe(args);
  EXPECT_EQ(run.status, 0) << run.err;
  std::vector<std::vector<uint64_t>> samples;
  std::istringstream lines(run.out);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream numbers(line);
    samples.emplace_back();
    for (uint64_t row; numbers >> row;)
      samples.back().push_back(row);
  }
  EXPECT_EQ(samples.size(), sizes.size());
  return samples;
}

std::vector<uint64_t> keptNumbers(const CutTable& cut) {
  std::vector<uint64_t> numbers;
  for (const KeptRow& row : cut.rows)
    numbers.push_back(row.number);
  return numbers;
}

// Empty when out holds expected at pos; otherwise where they part.
std::string mismatch(std::string_view out, size_t pos, std::string_view expected) {
  size_t i = 0;
  while (i < expected.size() && pos + i < out.size() && out[pos + i] == expected[i])
    ++i;
  if (i == expected.size())
    return "";
  return "output byte " + std::to_string(pos + i) + ": expected \"" +
         std::string(expected.substr(i, 60)) + "\", got \"" +
         std::string(out.substr(std::min(pos + i, out.size()), 60)) + "\"";
}

// A cut result of n rows: its first and last 1000 rows and 1000 rows between,
// each with the text of the input row it names, every gap marked with its
// size, and nothing else.
void expectCutShape(const CutTable& cut, uint64_t n, const std::string& rowEnd) {
  EXPECT_EQ(cut.unnumberedRows, 0u);
  ASSERT_EQ(cut.rows.size(), 3000u);
  ASSERT_EQ(cut.markers.size(), 1001u);
  uint64_t markedRows = 0;
  uint64_t markerSum = 0;
  for (size_t i = 0; i < cut.rows.size(); ++i) {
    const KeptRow& row = cut.rows[i];
    uint64_t previous = i == 0 ? 0 : cut.rows[i - 1].number;
    ASSERT_GT(row.number, previous) << "kept row " << i;
    ASSERT_EQ(row.text, rowText(row.number) + rowEnd) << "kept row " << i;
    uint64_t blockRow = i < 1000 ? i + 1 : i >= 2000 ? n - 2999 + i : row.number;
    ASSERT_EQ(row.number, blockRow) << "kept row " << i << " in the first or last block";
    ASSERT_EQ(row.markedGap, row.number - previous - 1) << "marker before row " << row.number;
    bool drawnOrLastBlock = i >= 1000 && i <= 2000;
    ASSERT_EQ(row.markedGap != 0, drawnOrLastBlock) << "marker before row " << row.number;
    markedRows += row.markedGap != 0;
  }
  for (uint64_t count : cut.markers)
    markerSum += count;
  EXPECT_EQ(markedRows, 1001u);
  EXPECT_EQ(markerSum, n - 3000);
}

bool cutByRule(const StreamLog::Table& table) {
  bool cuttable = table.queryNr == 11 || table.queryNr == 16 || table.queryNr == 20;
  return cuttable && table.rows > 10000;
}

// Checks that out is log with every table of query 11, 16 or 20 over 10000
// rows cut and everything else unchanged and in order; returns the cut tables.
std::vector<CutTable> expectTrimmed(const StreamLog& log, const std::string& out) {
  std::vector<CutTable> cuts;
  const std::string& in = log.text();
  size_t inPos = 0;
  size_t outPos = 0;
  for (const StreamLog::Table& table : log.tables()) {
    bool cut = cutByRule(table);
    std::string_view copied =
        std::string_view(in).substr(inPos, (cut ? table.begin : table.end) - inPos);
    std::string where = mismatch(out, outPos, copied);
    if (!where.empty()) {
      ADD_FAILURE() << "before the end of the table of query " << table.queryNr << ": " << where;
      return cuts;
    }
    outPos += copied.size();
    inPos = table.end;
    if (!cut)
      continue;
    cuts.push_back(parseCutTable(std::string_view(out).substr(outPos)));
    expectCutShape(cuts.back(), table.rows, log.rowEnd());
    outPos += cuts.back().length;
  }
  std::string where = mismatch(out, outPos, std::string_view(in).substr(inPos));
  EXPECT_EQ(where, "") << "after the last table";
  EXPECT_EQ(out.size() - outPos, in.size() - inPos) << "after the last table";
  return cuts;
}

TEST(Cut, OnlyQueries11_16And20WithMoreThan10000RowsAreCut) {
  std::vector<uint64_t> sample = probeSamples({10001})[0];
  for (int query : {11, 16, 20}) {
    SCOPED_TRACE("query " + std::to_string(query));
    StreamLog atLimit;
    atLimit.query(query, 10000);
    EXPECT_TRUE(trim(atLimit.text()) == atLimit.text()) << "10000 rows must be copied";

    StreamLog over;
    over.query(query, 10001);
    std::vector<CutTable> cuts = expectTrimmed(over, trim(over.text()));
    ASSERT_EQ(cuts.size(), 1u);
    EXPECT_EQ(keptNumbers(cuts[0]), sample);
  }
  // Any other query is copied whatever its size, its rows without numbers; a
  // three-digit number is not taken for its first two digits.
  StreamLog others;
  others.query(12, 20000).query(1, 10001).query(160, 12000).query(21, 15000);
  std::string out = trim(others.text());
  EXPECT_TRUE(out == others.text()) << mismatch(out, 0, others.text());
  EXPECT_EQ(out.find("[row: "), std::string::npos);
}

TEST(Cut, CutResultKeepsItsSampleAndTheRestOfTheLogUnchanged) {
  StreamLog log;
  for (int query = 1; query <= 22; ++query)
    log.query(query, query == 16 ? 25000 : query % 4);
  std::vector<CutTable> cuts = expectTrimmed(log, trim(log.text()));
  ASSERT_EQ(cuts.size(), 1u);
  EXPECT_EQ(keptNumbers(cuts[0]), probeSamples({25000})[0]);
}

TEST(Cut, SecondCutResultContinuesTheSequenceAndRunsRepeat) {
  StreamLog log;
  log.query(20, 30000).query(3, 5).query(11, 12000).query(7, 2);
  std::string out = trim(log.text());
  std::vector<CutTable> cuts = expectTrimmed(log, out);
  ASSERT_EQ(cuts.size(), 2u);
  std::vector<std::vector<uint64_t>> samples = probeSamples({30000, 12000});
  EXPECT_EQ(keptNumbers(cuts[0]), samples[0]);
  EXPECT_EQ(keptNumbers(cuts[1]), samples[1]);
  EXPECT_NE(keptNumbers(cuts[1]), probeSamples({12000})[0]) << "the sequence restarted";
  EXPECT_TRUE(trim(log.text()) == out) << "a second run differs";
}

TEST(Cut, EachTableIsCutByItsOwnCount) {
  StreamLog largeFirst;
  largeFirst.query(16, 12000).query(2, 3).query(16, 5000);
  std::vector<CutTable> cuts = expectTrimmed(largeFirst, trim(largeFirst.text()));
  ASSERT_EQ(cuts.size(), 1u);
  EXPECT_EQ(keptNumbers(cuts[0]), probeSamples({12000})[0]);

  StreamLog smallFirst;
  smallFirst.query(16, 5000).query(2, 3).query(16, 12000);
  cuts = expectTrimmed(smallFirst, trim(smallFirst.text()));
  ASSERT_EQ(cuts.size(), 1u);
  EXPECT_EQ(keptNumbers(cuts[0]), probeSamples({12000})[0]);
}

TEST(Cut, TableOpenAtTheEndOfTheLogIsCut) {
  StreamLog log;
  log.query(5, 4).query(20, 10500, false);
  std::vector<uint64_t> sample = probeSamples({10500})[0];
  std::string unterminated = log.text().substr(0, log.text().size() - 1);
  for (const std::string& input : {log.text(), unterminated}) {
    SCOPED_TRACE(input.back() == '\n' ? "with final newline" : "without final newline");
    std::vector<CutTable> cuts = expectTrimmed(log, trim(input));
    ASSERT_EQ(cuts.size(), 1u);
    EXPECT_EQ(keptNumbers(cuts[0]), sample);
  }
}

TEST(Cut, CarriageReturnStaysInTheRowBeforeItsNumber) {
  StreamLog log("\r");
  log.query(11, 10001);
  std::string out = trim(log.text());
  std::vector<CutTable> cuts = expectTrimmed(log, out);
  ASSERT_EQ(cuts.size(), 1u);
  EXPECT_NE(out.find(rowText(5) + "\r [row: 5]\n"), std::string::npos);
}

TEST(Cut, HeaderRightAfterTheLastRowStartsTheNextQuery) {
  StreamLog bothCut;
  bothCut.query(16, 12000, false).query(20, 11000);
  std::vector<CutTable> cuts = expectTrimmed(bothCut, trim(bothCut.text()));
  ASSERT_EQ(cuts.size(), 2u);
  std::vector<std::vector<uint64_t>> samples = probeSamples({12000, 11000});
  EXPECT_EQ(keptNumbers(cuts[0]), samples[0]);
  EXPECT_EQ(keptNumbers(cuts[1]), samples[1]);

  StreamLog cutThenCopied;
  cutThenCopied.query(11, 12000, false).query(12, 11000, false).query(16, 10500);
  cuts = expectTrimmed(cutThenCopied, trim(cutThenCopied.text()));
  ASSERT_EQ(cuts.size(), 2u);
  EXPECT_EQ(keptNumbers(cuts[1]), probeSamples({12000, 10500})[1]);
}

// Large enough that the output pass jumps over deleted rows through many
// checkpoints of the row index.
TEST(Cut, LargeResultsKeepTheirShape) {
  StreamLog log;
  log.query(20, 50000).query(8, 6).query(16, 300000);
  std::vector<CutTable> cuts = expectTrimmed(log, trim(log.text()));
  ASSERT_EQ(cuts.size(), 2u);
  std::vector<std::vector<uint64_t>> samples = probeSamples({50000, 300000});
  EXPECT_EQ(keptNumbers(cuts[0]), samples[0]);
  EXPECT_EQ(keptNumbers(cuts[1]), samples[1]);
}

}  // namespace
