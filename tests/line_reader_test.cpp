#include "log/line_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

// Line n of a numbered log; every line is kNumberedLength bytes with its
// newline, and neighbouring lines differ in their first byte.
constexpr size_t kNumberedLength = 18;
std::string numbered(size_t n) {
  char text[32];
  std::snprintf(text, sizeof text, "%c%010zu row|x", static_cast<char>('a' + n % 26), n);
  return text;
}

std::string numberedLog(size_t count) {
  std::string log;
  for (size_t n = 0; n < count; ++n)
    log += numbered(n) + "\n";
  return log;
}

}  // namespace

TEST(LineReader, SplitsAtNewlinesOnly) {
  struct Case {
    std::string content;
    std::vector<std::string> lines;
    std::vector<uint64_t> offsets;
  };
  const Case cases[] = {
      {"", {}, {}},
      {"\n", {""}, {0}},
      {std::string("a\r\nb\0c\n\n|last", 13),
       {"a\r", std::string("b\0c", 3), "", "|last"},
       {0, 3, 7, 8}},
  };
  TempDir dir;
  for (const Case& c : cases) {
    writeFile(dir.file("log"), c.content);
    std::unique_ptr<InputFile> input = openInputFile(dir.file("log"));
    LineReader reader(*input);
    std::vector<std::string> lines;
    std::vector<uint64_t> offsets;
    for (Line line; reader.next(line);) {
      lines.emplace_back(line.text);
      offsets.push_back(line.offset);
    }
    EXPECT_EQ(lines, c.lines);
    EXPECT_EQ(offsets, c.offsets);
    Line line;
    EXPECT_FALSE(reader.next(line));  // and stays at the end
  }
}

TEST(LineReader, LineLongerThanABlockComesBackWhole) {
  TempDir dir;
  std::string longLine(3 * 1024 * 1024, 'x');
  longLine[LineReader::kBlockSize] = '|';
  writeFile(dir.file("log"), "first\n" + longLine + "\nafter\n" + longLine);
  std::unique_ptr<InputFile> input = openInputFile(dir.file("log"));
  LineReader reader(*input);
  Line line;
  for (int pass = 0; pass < 2; ++pass) {
    ASSERT_TRUE(reader.next(line));
    EXPECT_EQ(line.text, "first");
    ASSERT_TRUE(reader.next(line));
    EXPECT_TRUE(line.text == longLine);
    ASSERT_TRUE(reader.next(line));
    EXPECT_EQ(line.text, "after");
    EXPECT_EQ(line.offset, 6 + longLine.size() + 1);
    ASSERT_TRUE(reader.next(line));
    EXPECT_TRUE(line.text == longLine);  // without a newline
    EXPECT_FALSE(reader.next(line));
    reader.seek(0);  // far back, read afresh in small steps
  }
}

TEST(LineReader, ReadsAcrossBlocksAndSeeks) {
  TempDir dir;
  const size_t count = 3 * LineReader::kBlockSize / kNumberedLength;  // lines straddle blocks
  writeFile(dir.file("log"), numberedLog(count));
  std::unique_ptr<InputFile> input = openInputFile(dir.file("log"));
  LineReader reader(*input);
  Line line;
  auto expectLines = [&](size_t from, size_t to) {
    for (size_t n = from; n < to && !HasFailure(); ++n) {
      ASSERT_TRUE(reader.next(line)) << "line " << n;
      EXPECT_EQ(line.text, numbered(n));
      EXPECT_EQ(line.offset, n * kNumberedLength);
    }
  };
  expectLines(0, 2);
  reader.seek(10 * kNumberedLength);  // ahead, within the buffer
  EXPECT_EQ(reader.offset(), 10 * kNumberedLength);
  expectLines(10, 11);
  reader.seek(1 * kNumberedLength);  // back, within the buffer, then on into the next block
  expectLines(1, LineReader::kBlockSize / kNumberedLength + 10);
  reader.seek((count - 100) * kNumberedLength);  // far ahead
  EXPECT_EQ(reader.offset(), (count - 100) * kNumberedLength);
  expectLines(count - 100, count - 98);
  reader.seek(5 * kNumberedLength);  // far back
  expectLines(5, count);
  EXPECT_FALSE(reader.next(line));
}

TEST(LineReader, SkippingBufferedLines) {
  // As a bulk scan uses it: skip the complete lines buffered, then let next()
  // read the line cut by the end of the buffer.
  TempDir dir;
  const size_t count = 2 * LineReader::kBlockSize / kNumberedLength;
  const std::string log = numberedLog(count);
  writeFile(dir.file("log"), log);
  std::unique_ptr<InputFile> input = openInputFile(dir.file("log"));
  LineReader reader(*input);
  size_t n = 0;
  for (Line line; reader.next(line); ++n) {
    ASSERT_EQ(line.text, numbered(n));
    ASSERT_EQ(line.offset, n * kNumberedLength);
    std::string_view buffered = reader.buffered();
    ASSERT_TRUE(buffered == std::string_view(log).substr(reader.offset(), buffered.size()));
    size_t complete = buffered.rfind('\n') + 1;  // 0 when there is no newline
    reader.skip(complete);
    n += complete / kNumberedLength;
    ASSERT_EQ(reader.offset(), (n + 1) * kNumberedLength);
  }
  EXPECT_EQ(n, count);
}

// A small log gets a buffer of its size; should the log grow after the reader
// was made, the buffer grows with it and no line is lost or cut.
TEST(LineReader, LogThatGrowsAfterTheReaderIsMadeIsReadWhole) {
  TempDir dir;
  writeFile(dir.file("log"), "first|\n");
  std::unique_ptr<InputFile> input = openInputFile(dir.file("log"));
  LineReader reader(*input);
  const size_t count = 3 * LineReader::kSmallestBuffer / kNumberedLength;
  const std::string longLast(2 * LineReader::kSmallestBuffer, 'y');
  writeFile(dir.file("log"), "first|\n" + numberedLog(count) + longLast);
  Line line;
  ASSERT_TRUE(reader.next(line));
  EXPECT_EQ(line.text, "first|");
  for (size_t n = 0; n < count; ++n) {
    ASSERT_TRUE(reader.next(line)) << "line " << n;
    ASSERT_EQ(line.text, numbered(n));
  }
  ASSERT_TRUE(reader.next(line));
  EXPECT_TRUE(line.text == longLast);
  EXPECT_FALSE(reader.next(line));
}
