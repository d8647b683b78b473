// The shape of one cut result at the small sizes the fuzz targets use, the
// numbered reader's look-ahead, which the checker's walk over a deletion
// marker and its comparison with the original rest on, and the pipes it
// reads logs from. (The comparison and the replay of the draw are held to
// end-to-end tampering in verify_test.cpp and to the fuzz targets.)

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "checker/cut_shape.h"
#include "checker/numbered_line_reader.h"
#include "slow_pipe.h"
#include "system/failure.h"
#include "system/memory_file.h"

// The lines it goes back to lie past the first bytes a pipe keeps, so only
// the reader's own buffer can give them again.
TEST(NumberedLineReader, ResetGoesBackToTheMarkLineNumberIncluded) {
  const std::string first(PipeInputFile::kKeptBytes, 'x');
  const std::string log = first + "\na\nbb\nccc";  // the last line unterminated
  const std::vector<std::pair<const char*, std::function<std::unique_ptr<InputFile>()>>> inputs = {
      {"a file", [&] { return std::make_unique<MemoryInputFile>("log", log); }},
      {"a pipe giving 3 bytes a read", [&] { return std::make_unique<SlowPipe>(log, 3); }},
  };
  for (const auto& [name, open] : inputs) {
    SCOPED_TRACE(name);
    std::unique_ptr<InputFile> input = open();
    NumberedLineReader reader(*input);
    Line line;
    ASSERT_TRUE(reader.next(line) && reader.next(line));
    NumberedLineReader::Mark mark = reader.mark();
    ASSERT_TRUE(reader.next(line) && reader.next(line));
    EXPECT_EQ(reader.lineNr(), 4u);
    EXPECT_EQ(reader.lastLineEnd(), log.size());
    EXPECT_FALSE(reader.next(line) || reader.lastLineTerminated());
    ASSERT_NO_THROW(reader.reset(mark));
    EXPECT_EQ(reader.lineNr(), 2u);
    EXPECT_EQ(reader.lastLineEnd(), first.size() + 2);
    EXPECT_TRUE(reader.lastLineTerminated());
    ASSERT_NO_THROW(reader.next(line));
    EXPECT_EQ(line.text, "bb");
    EXPECT_EQ(reader.lineNr(), 3u);
  }
}

// A pipe gives its first bytes again, and otherwise only where it stands.
TEST(PipeInputFile, ReadsWhereItStandsAndItsFirstBytesAgain) {
  const size_t kept = PipeInputFile::kKeptBytes;
  struct Case {
    size_t chunk;                   // the most a read of the pipe gives
    std::vector<uint64_t> offsets;  // read in turn
    bool lastServed;
  };
  const std::vector<Case> cases = {
      {7, {0, 0, 7, 0, 14}, true},
      {kept + 1, {0, kept + 1, 5, kept - 1}, true},
      {kept + 1, {0, kept}, false},
      {7, {0, 14}, false},
  };
  std::string bytes;
  for (size_t i = 0; i < 3 * kept; ++i)
    bytes += static_cast<char>('a' + i % 23);
  for (const Case& c : cases) {
    SlowPipe pipe(bytes, c.chunk);
    std::string got(kept + 1, '\0');
    for (uint64_t offset : c.offsets) {
      SCOPED_TRACE(offset);
      if (!c.lastServed && offset == c.offsets.back()) {
        EXPECT_THROW(pipe.readAt(offset, got.data(), got.size()), Failure);
        continue;
      }
      size_t count = pipe.readAt(offset, got.data(), got.size());
      EXPECT_GT(count, 0u);
      EXPECT_EQ(got.substr(0, count), bytes.substr(offset, count));
    }
  }
}

// Sizes at which a cut keeps rows 1 and 2, two drawn rows and the last two
// rows of a result of more than 10. Each near-miss is named at its event (a
// row number, or "m" and a marker's count), or at the end of the result, and
// rows() reads the row count the replay of the draw goes by.
TEST(CutShape, NearMissesAreNamedAtTheirEventAndTheRowCountStaysReadable) {
  const CutSizes sizes{10, 2, 2};
  struct Case {
    const char* events;
    size_t named;  // 1-based event (one past the last: the end); 0 for none
    const char* says;
    uint64_t rows;
  };
  const Case cases[] = {
      {"1 2 m2 5 m3 9 m3 13 14", 0, "", 14},
      {"1 m0 2 m2 5 m3 9 m3 13 14", 2, "(rows 1 to 2 are all kept)", 14},
      {"1 2 m2 5 m3 9 m3 13 m0 14", 9, "(the last 2 rows are all kept)", 14},
      {"1 2 3 m3 7 m3 11 12", 3, "expected a deletion marker after row 2, found row 3", 12},
      {"1 2 m0 3 m3 7 m3 11 12", 3, "found a marker for 0 rows", 12},
      {"1 2 m3 5 m3 9 m3 13 14", 3, "expected a marker for 2 deleted rows", 14},
      {"1 2 m2 5 m3 9 m3 13 14 15", 10, "to end after 6 kept rows, found row 15", 14},
      {"1 2 m2 5 m3 9 m3 13", 9, "expected 6 kept rows in a cut result, found 5", 0},
      {"1 2 m1 4 m1 6 m2 9 10", 9, "more than 10 rows, found one of 10", 10},
      {"1 2 m2 5 m3 9 m3 13 14 m1", 10, "(the last 2 rows are all kept)", 14},
      {"1 2 m2 5 m3 5 m3 13 14", 6, "after row 5, found row 5 (out of order)", 14},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.events);
    CutShape shape(sizes);
    ShapeProblem first;
    std::istringstream events(c.events);
    uint64_t line = 0;
    for (std::string event; events >> event;) {
      ++line;
      ShapeProblem problem = event[0] == 'm' ? shape.marker(std::stoull(event.substr(1)), line)
                                             : shape.row(std::stoull(event), line);
      if (!first)
        first = problem;
    }
    if (!first)
      first = shape.finish(true, line + 1);
    EXPECT_EQ(first.line, c.named) << first.what;
    EXPECT_NE(first.what.find(c.says), std::string::npos) << first.what;
    EXPECT_EQ(shape.rows(), c.rows);
  }
}
