// The checker's own reading of what the cutter adds: kept rows, deletion
// markers and their numbers, each accepted only as the cutter writes it.

#include "cut_log_syntax.h"

#include <gtest/gtest.h>

#include <string>

TEST(CutLogSyntax, AcceptsOnlyWhatTheCutterWrites) {
  struct Case {
    std::string line;
    bool keptRow;
    bool marker;
    uint64_t number;        // N or G when accepted
    std::string text = {};  // the kept row's original bytes
  };
  const Case cases[] = {
      {"a|b [row: 17]", true, false, 17, "a|b"},
      {"a|b\r [row: 5]", true, false, 5, "a|b\r"},
      {"x [row: 1] [row: 2]", true, false, 2, "x [row: 1]"},
      {" [row: 18446744073709551615]", true, false, 18446744073709551615u, ""},
      {"a [row: 18446744073709551616]", false, false, 0},
      {"a [row: 017]", false, false, 0},
      {"a [row: +1]", false, false, 0},
      {"a [row: ]", false, false, 0},
      {"a [row: 5] ", false, false, 0},
      {"a [row: 5]\r", false, false, 0},
      {"a [row:5]", false, false, 0},
      {"----------- deleted 18 rows -----------", false, true, 18},
      {"----------- deleted 0 rows -----------", false, true, 0},
      {"----------- deleted 018 rows -----------", false, false, 0},
      {"----------- deleted  rows -----------", false, false, 0},
      {"----------- deleted rows -----------", false, false, 0},
      {"----------- deleted 18 rows -----------\r", false, false, 0},
      {"----------- deleted 18 rows ----------", false, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    std::string_view text;
    uint64_t rowNr = 0, deleted = 0;
    EXPECT_EQ(parseKeptRow(c.line, text, rowNr), c.keptRow);
    EXPECT_EQ(parseMarker(c.line, deleted), c.marker);
    if (c.keptRow) {
      EXPECT_EQ(rowNr, c.number);
      EXPECT_EQ(text, c.text);
    }
    if (c.marker) {
      EXPECT_EQ(deleted, c.number);
    }
  }
}

// A carriage return after what the cutter writes is a converted line end;
// one before the row tag is the log's own.
TEST(CutLogSyntax, TellsAConvertedLineEndFromTheLogsOwn) {
  struct Case {
    std::string line;
    bool parses;
    bool converted;
  };
  const Case keptRows[] = {{"a|b [row: 5]", true, false},     {"a|b\r [row: 5]", true, false},
                           {"a|b [row: 5]\r", true, true},    {"a|b\r [row: 5]\r", true, true},
                           {"a|b [row: 5]\r\r", false, true}, {"a|b\r", false, true}};
  const Case markers[] = {{"----------- deleted 7 rows -----------", true, false},
                          {"----------- deleted 7 rows -----------\r", true, true},
                          {"\r----------- deleted 7 rows -----------", false, false}};
  const Case emptyLines[] = {{"", true, false}, {"\r", true, true}, {"\r\r", false, false}};
  std::string_view text;
  uint64_t number = 0;
  for (const Case& c : keptRows) {
    SCOPED_TRACE(c.line);
    bool converted = false;
    EXPECT_EQ(parseKeptRow(c.line, text, number, converted), c.parses);
    EXPECT_EQ(converted, c.converted);
  }
  for (const Case& c : markers) {
    SCOPED_TRACE(c.line);
    bool converted = false;
    EXPECT_EQ(parseMarker(c.line, number, converted), c.parses);
    EXPECT_EQ(converted, c.converted);
  }
  for (const Case& c : emptyLines) {
    SCOPED_TRACE(c.line);
    bool converted = false;
    EXPECT_EQ(isMarkerEmptyLine(c.line, converted), c.parses);
    EXPECT_EQ(converted, c.converted);
  }
}
