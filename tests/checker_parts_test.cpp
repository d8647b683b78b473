// The numbered reader's look-ahead, which the checker's walk over a deletion
// marker and its comparison with the original rest on, and the pipes it
// reads logs from. (The comparison and the replay of the draw are held to
// end-to-end tampering in verify_test.cpp and to the fuzz targets.)

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "failure.h"
#include "memory_file.h"
#include "numbered_line_reader.h"
#include "pipe_input_file.h"

namespace {

// A pipe that gives at most `chunk` bytes a read, as one fed slowly does.
class SlowPipe final : public PipeInputFile {
 public:
  SlowPipe(std::string_view bytes, size_t chunk)
      : PipeInputFile("pipe", FileStamp{}), bytes_(bytes), chunk_(chunk) {}

 protected:
  size_t readSome(char* buffer, size_t size) const override {
    size_t count = std::min({size, chunk_, bytes_.size() - at_});
    std::copy_n(bytes_.data() + at_, count, buffer);
    at_ += count;
    return count;
  }

 private:
  std::string_view bytes_;
  size_t chunk_;
  mutable size_t at_ = 0;
};

}  // namespace

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
