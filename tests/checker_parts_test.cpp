// The parts of the checker below its walk over the cut log: the numbered
// reader's look-ahead, the comparison with the original and the replay of
// the tool's draw.

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "memory_file.h"
#include "numbered_line_reader.h"
#include "original_log.h"
#include "sample_replay.h"

TEST(NumberedLineReader, ResetGoesBackToTheMarkLineNumberIncluded) {
  const std::string log = "a\nbb\nccc";  // the last line unterminated
  MemoryInputFile input("log", log);
  NumberedLineReader reader(input);
  Line line;
  ASSERT_TRUE(reader.next(line));
  NumberedLineReader::Mark mark = reader.mark();
  ASSERT_TRUE(reader.next(line) && reader.next(line));
  EXPECT_EQ(reader.lineNr(), 3u);
  EXPECT_EQ(reader.lastLineEnd(), log.size());
  reader.reset(mark);
  EXPECT_EQ(reader.lineNr(), 1u);
  EXPECT_EQ(reader.lastLineEnd(), 1u);
  ASSERT_TRUE(reader.next(line));
  EXPECT_EQ(line.text, "bb");
  EXPECT_EQ(reader.lineNr(), 2u);
}

// Each case: the original, then the cut log's calls, each expected to find
// a problem or not. Every call names the row it is given.
TEST(OriginalLog, HoldsEachLineAndRowAgainstTheOriginal) {
  enum Call { kCopied, kWhole, kKept, kEndResult, kEndLog };
  struct Step {
    Call call;
    uint64_t rowNr;
    std::string text;
    std::string says;  // empty: no problem
  };
  struct Case {
    const char* name;
    std::string original;
    std::vector<Step> steps;
    Verdict rows;
  };
  const std::string table = "h\nr1|\nr2|\nr3|\nr4|\nend\n";
  const Case cases[] = {
      {"a cut that matches",
       table,
       {{kCopied, 0, "h", ""},
        {kKept, 2, "r2|", ""},
        {kKept, 4, "r4|", ""},
        {kEndResult, 0, "", ""},
        {kCopied, 0, "end", ""},
        {kEndLog, 6, "", ""}},
       Verdict::kPassed},
      {"a kept row's text altered",
       table,
       {{kCopied, 0, "h", ""}, {kKept, 3, "r3|x", "expected row 3 of the original (line 4)"}},
       Verdict::kFailed},
      {"a whole result ended early",
       table,
       {{kCopied, 0, "h", ""},
        {kWhole, 1, "r1|", ""},
        {kEndResult, 0, "", "expected the result to go on to row 4"}},
       Verdict::kFailed},
      {"a row past the original's last",
       table,
       {{kCopied, 0, "h", ""}, {kKept, 5, "r5|", "(it ends at row 4), found row 5"}},
       Verdict::kFailed},
      {"a copied line altered, then out of step",
       table,
       {{kCopied, 0, "g", "expected line 1 of the original: \"h\", found \"g\""},
        {kKept, 3, "wrong|", ""},
        {kEndLog, 9, "", ""}},
       Verdict::kNotChecked},
      {"an original that goes on",
       "h\nmore\n",
       {{kCopied, 0, "h", ""}, {kEndLog, 1, "", "(the cut log ends at line 1), found \"more\""}},
       Verdict::kPassed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryInputFile input("log", c.original);
    OriginalLog original(input);
    original.beginResult();
    for (const Step& step : c.steps) {
      std::string found = step.call == kCopied      ? original.copiedLine(step.text)
                          : step.call == kWhole     ? original.wholeRow(step.rowNr, step.text)
                          : step.call == kKept      ? original.keptRow(step.rowNr, step.text)
                          : step.call == kEndResult ? original.endResult()
                                                    : original.endLog(step.rowNr);
      if (step.says.empty())
        EXPECT_EQ(found, "");
      else
        EXPECT_NE(found.find(step.says), std::string::npos) << found;
    }
    EXPECT_EQ(original.rowsVerdict(), c.rows);
  }
}

// The replay draws as one run of the tool does: the second of two cut
// results is checked against the second draw, also when a result the tool
// would have cut was left whole in between. The first draw for the second
// result's row count meets the shape but is not the tool's.
TEST(SampleReplay, ChecksEachCutAgainstTheToolsNextDraw) {
  const CutSizes sizes{12, 2, 3};
  auto shapeOf = [&](const std::set<uint64_t>& rows) {
    CutShape shape(sizes);
    uint64_t line = 0, last = 0;
    for (uint64_t rowNr : rows) {
      if (rowNr > last + 1) {
        EXPECT_FALSE(shape.marker(rowNr - last - 1, ++line));
      }
      EXPECT_FALSE(shape.row(rowNr, ++line)) << rowNr;
      last = rowNr;
    }
    return shape;
  };
  for (bool wholeBetween : {false, true}) {
    for (bool tamper : {false, true}) {
      SCOPED_TRACE(std::to_string(wholeBetween) + std::to_string(tamper));
      RandomSequence tool, fresh;
      std::set<uint64_t> first, skipped, second, other;
      generateOutputLines(first, 20, tool, sizes);
      if (wholeBetween)
        generateOutputLines(skipped, 30, tool, sizes);
      generateOutputLines(second, 25, tool, sizes);
      generateOutputLines(other, 25, fresh, sizes);
      ASSERT_NE(second, other);

      SampleReplay replay(sizes);
      EXPECT_EQ(replay.cutResult(16, shapeOf(first), true).verdict, Verdict::kPassed);
      replay.wholeResult(3, 30);  // the tool cuts nothing of query 3
      if (wholeBetween)
        replay.wholeResult(11, 30);
      SampleReplay::Outcome outcome = replay.cutResult(20, shapeOf(tamper ? other : second), true);
      EXPECT_EQ(outcome.verdict, tamper ? Verdict::kFailed : Verdict::kPassed);
      EXPECT_EQ(bool(outcome.problem), tamper);
      if (tamper) {
        EXPECT_NE(outcome.problem.what.find("of streamtrim's sample"), std::string::npos);
      }
    }
  }
}
