// The checker's own reading of what the cutter adds: kept rows, deletion
// markers and their numbers, each accepted only as the cutter writes it.

#include "checker/cut_log_syntax.h"

#include <gtest/gtest.h>

#include <string>

// A carriage return after what the cutter writes is a converted line end;
// one before the row tag is the log's own.
TEST(CutLogSyntax, AcceptsOnlyWhatTheCutterWritesAndNamesConvertedLineEnds) {
  enum Kind { kNone, kKeptRow, kMarker, kEmpty };
  struct Case {
    std::string line;
    Kind kind;
    bool converted = false;
    uint64_t number = 0;    // N or G
    std::string text = {};  // the kept row's original bytes
  };
  const Case cases[] = {
      {"a|b [row: 17]", kKeptRow, false, 17, "a|b"},
      {"a|b\r [row: 5]", kKeptRow, false, 5, "a|b\r"},
      {"a|b [row: 5]\r", kKeptRow, true, 5, "a|b"},
      {"a|b\r [row: 5]\r", kKeptRow, true, 5, "a|b\r"},
      {"x [row: 1] [row: 2]", kKeptRow, false, 2, "x [row: 1]"},
      {" [row: 18446744073709551615]", kKeptRow, false, 18446744073709551615u, ""},
      {"a [row: 18446744073709551616]", kNone},
      {"a [row: 017]", kNone},
      {"a [row: +1]", kNone},
      {"a [row: ]", kNone},
      {"a [row: 5] ", kNone},
      {"a [row:5]", kNone},
      {"a|b [row: 5]\r\r", kNone},
      {"a|b\r", kNone},
      {"----------- deleted 18 rows -----------", kMarker, false, 18},
      {"----------- deleted 0 rows -----------", kMarker, false, 0},
      {"----------- deleted 7 rows -----------\r", kMarker, true, 7},
      {"----------- deleted 018 rows -----------", kNone},
      {"----------- deleted  rows -----------", kNone},
      {"----------- deleted rows -----------", kNone},
      {"----------- deleted 18 rows ----------", kNone},
      {"\r----------- deleted 7 rows -----------", kNone},
      {"", kEmpty},
      {"\r", kEmpty, true},
      {"\r\r", kNone},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    std::string_view text;
    uint64_t number = 0;
    bool converted = false;
    EXPECT_EQ(parseKeptRow(c.line, text, number, converted), c.kind == kKeptRow);
    if (c.kind == kKeptRow) {
      EXPECT_EQ(number, c.number);
      EXPECT_EQ(text, c.text);
      EXPECT_EQ(converted, c.converted);
    }
    EXPECT_EQ(parseMarker(c.line, number, converted), c.kind == kMarker);
    if (c.kind == kMarker) {
      EXPECT_EQ(number, c.number);
      EXPECT_EQ(converted, c.converted);
    }
    // Outside a result only a marker as the cutter writes it counts.
    EXPECT_EQ(parseMarker(c.line, number), c.kind == kMarker && !c.converted);
    EXPECT_EQ(isMarkerEmptyLine(c.line, converted), c.kind == kEmpty);
    if (c.kind == kEmpty) {
      EXPECT_EQ(converted, c.converted);
    }
  }
}
