#include "result_cutter.h"

#include <gtest/gtest.h>

#include <string>

#include "test_support.h"

TEST(ResultCutter, CutsOnlyLargeResultsOfQueries11_16_20) {
  struct Case {
    int32_t query;
    uint64_t rows;
    bool cut;
  };
  const Case cases[] = {{11, 10001, true},  {16, 123456, true},  {20, 10001, true},
                        {11, 10000, false}, {20, 0, false},      {1, 50000, false},
                        {21, 50000, false}, {-11, 50000, false}, {0, 50000, false}};
  for (const Case& c : cases) {
    CutState cut;
    cut.truncateThisResult = !c.cut;  // left over from an earlier table
    decideCut(cut, c.query, c.rows);
    EXPECT_EQ(cut.truncateThisResult, c.cut) << "query " << c.query << ", " << c.rows << " rows";
    if (!c.cut)
      continue;
    ASSERT_EQ(cut.outputLines.size(), 3000u);
    EXPECT_EQ(*cut.outputLines.begin(), 1u);
    EXPECT_EQ(*cut.outputLines.rbegin(), c.rows);
    EXPECT_TRUE(cut.outputLines.count(1000) && cut.outputLines.count(c.rows - 999));
  }
}

TEST(ResultCutter, WritesKeptRowsWithMarkersForTheGaps) {
  TempDir dir;
  CutState cut;
  cut.truncateThisResult = true;
  cut.outputLines = {1, 2, 5, 9};
  cut.last_output_line = 12345;  // from an earlier cut table
  {
    std::unique_ptr<OutputFile> out = openOutputFile(dir.file("out"));
    for (uint64_t row = 1; row <= 10; ++row)
      writeCutRow(cut, row, std::string("r").append(std::to_string(row)).append("|"), *out);
    out->close();
  }
  EXPECT_EQ(readFile(dir.file("out")),
            "r1| [row: 1]\n"
            "r2| [row: 2]\n"
            "\n----------- deleted 2 rows -----------\n\n"
            "r5| [row: 5]\n"
            "\n----------- deleted 3 rows -----------\n\n"
            "r9| [row: 9]\n");
  EXPECT_EQ(cut.last_output_line, 9u);
}

TEST(ResultCutter, WritesNumberedRowsAndMarkersToTheLargestNumber) {
  TempDir dir;
  {
    std::unique_ptr<OutputFile> out = openOutputFile(dir.file("out"));
    writeNumberedRow(*out, "a | b", 1);
    writeNumberedRow(*out, "big|", 18446744073709551615u);
    writeDeletionMarker(*out, 7);
    writeDeletionMarker(*out, 18446744073709551615u);
    out->close();
  }
  EXPECT_EQ(readFile(dir.file("out")),
            "a | b [row: 1]\nbig| [row: 18446744073709551615]\n"
            "\n----------- deleted 7 rows -----------\n\n"
            "\n----------- deleted 18446744073709551615 rows -----------\n\n");
}
