// The numbered reader's look-ahead, which the checker's walk over a deletion
// marker and its comparison with the original rest on. (The comparison and
// the replay of the draw are held to end-to-end tampering in verify_test.cpp
// and to the fuzz targets.)

#include <gtest/gtest.h>

#include <string>

#include "memory_file.h"
#include "numbered_line_reader.h"

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
