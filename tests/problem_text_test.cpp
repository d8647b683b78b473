// Lines quoted in the checker's messages: one line each, every byte seen,
// and two differing lines shown where they differ.

#include "checker/problem_text.h"

#include <gtest/gtest.h>

#include <string>

TEST(ProblemText, ShowsTheFirstDifferenceWithControlBytesEscaped) {
  const std::string a50(50, 'a'), a70(70, 'a');
  struct Case {
    std::string expected, found, shown;
  };
  const Case cases[] = {
      {"same start|x", "same start|y", "\"same start|x\", found \"same start|y\""},
      {"row|1", "row|1\r", "\"row|1\", found \"row|1\\r\""},
      {"t\tq\"b\\\x01", "t\tq\"b\\\x02", "\"t\\tq\\\"b\\\\\\x01\", found \"t\\tq\\\"b\\\\\\x02\""},
      // From the 40th byte on, the lines are shown from 20 bytes before
      // their first difference, at most 60 bytes each.
      {a50 + "x" + a70, a50 + "y",
       "...\"" + std::string(20, 'a') + "x" + std::string(39, 'a') + "\"..., found ...\"" +
           std::string(20, 'a') + "y\""},
      {a70, a70 + "\r",
       "...\"" + std::string(20, 'a') + "\", found ...\"" + std::string(20, 'a') + "\\r\""},
      {std::string(39, 'a') + "x", std::string(39, 'a') + "y",
       "\"" + std::string(39, 'a') + "x\", found \"" + std::string(39, 'a') + "y\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shown);
    EXPECT_EQ(quotedDifference(c.expected, c.found), c.shown);
  }
  EXPECT_EQ(quotedLine(a70), "\"" + std::string(60, 'a') + "\"...");
}
