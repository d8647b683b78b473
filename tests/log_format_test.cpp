#include "log_format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

TEST(LogFormat, RecognisesMarksAnywhereCaseSensitively) {
  EXPECT_TRUE(isHeaderLine("TPC-H Query 11"));
  EXPECT_TRUE(isHeaderLine("  -- start TPC-H Query 3 (stream 1)"));
  EXPECT_FALSE(isHeaderLine("tpc-h query 11"));
  EXPECT_FALSE(isHeaderLine("TPC-H  Query 11"));
  EXPECT_FALSE(isHeaderLine(""));

  EXPECT_TRUE(isSeparatorLine("==="));
  EXPECT_TRUE(isSeparatorLine("-----+===+-----"));
  EXPECT_FALSE(isSeparatorLine("== ="));
  EXPECT_FALSE(isSeparatorLine(""));

  EXPECT_TRUE(isRowLine("|"));
  EXPECT_TRUE(isRowLine("a | b"));
  EXPECT_TRUE(isRowLine(std::string("\0|", 2)));  // a zero byte does not end the line
  EXPECT_FALSE(isRowLine("a ! b"));
  EXPECT_FALSE(isRowLine(""));
}

TEST(LogFormat, QueryNumberIsReadAfterTheFirstHeaderMark) {
  constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
  constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
  struct Case {
    std::string line;
    int32_t expected;
  };
  const Case cases[] = {
      {"TPC-H Query 7", 7},
      {"TPC-H Query 16 (stream 0, run 1)", 16},
      {"TPC-H Query 123", 123},
      {"TPC-H Query  20", 20},   // the second blank is skipped as white space
      {"TPC-H Query \t 9x", 9},  // so are tabs, and reading stops at a non-digit
      {"TPC-H Query:11", 11},    // any character separates
      {"TPC-H Query11", 1},      // the separating character is skipped even if a digit
      {"TPC-H Query", 0},        // nothing after the mark
      {"TPC-H Query ", 0},       // nothing after the separating character
      {"Query 5 then TPC-H Query 12", 12},
      {"TPC-H Query 3 and TPC-H Query 4", 3},
      {"TPC-H Query -4", -4},
      {"TPC-H Query +8", 8},
      {"TPC-H Query - 8", 0},  // no blank allowed between sign and digits
      {"TPC-H Query abc", 0},
      {"TPC-H Query 007", 7},
      {"TPC-H Query 2147483647", kMax},
      {"TPC-H Query 2147483648", kMax},
      {"TPC-H Query 99999999999999999999999", kMax},
      {"TPC-H Query -2147483648", kMin},
      {"TPC-H Query -2147483649", kMin},
      {"TPC-H Query -99999999999999999999999", kMin},
      {"no header here 5", 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(queryNumberOf(c.line), c.expected) << '"' << c.line << '"';
}
