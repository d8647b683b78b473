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

// A pipe gives each offset as a file would, or fewer bytes: its first bytes
// again, a later offset by reading up to it; an earlier one past its first
// bytes it refuses.
TEST(PipeInputFile, ReadsFrontToBackAndItsFirstBytesAgain) {
  struct Read {
    uint64_t offset;
    size_t size;
  };
  struct Case {
    const char* name;
    std::vector<Read> reads;
    bool refusesLast;
  };
  const size_t kept = PipeInputFile::kKeptBytes;
  const std::vector<Case> cases = {
      {"the first bytes again", {{0, 2}, {0, 100}, {2, 100}, {0, 100}}, false},
      {"a later offset", {{0, 10}, {kept + 5, 100}}, false},
      {"the kept bytes after reading past them",
       {{0, 10}, {kept + 5, 100}, {kept - 1, 100}},
       false},
      {"past the end", {{0, 10}, {3 * kept, 10}}, false},
      {"back past the kept bytes", {{0, 10}, {kept + 5, 100}, {kept, 1}}, true},
  };
  std::string bytes;
  for (size_t i = 0; bytes.size() < 2 * kept; ++i)
    bytes += std::to_string(i) + " ";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SlowPipe pipe(bytes, 7);
    for (size_t i = 0; i < c.reads.size(); ++i) {
      const Read& read = c.reads[i];
      std::string got(read.size, '\0');
      if (i + 1 == c.reads.size() && c.refusesLast) {
        EXPECT_THROW(pipe.readAt(read.offset, got.data(), read.size), Failure);
        continue;
      }
      got.resize(pipe.readAt(read.offset, got.data(), read.size));
      std::string expected = read.offset < bytes.size() ? bytes.substr(read.offset, read.size) : "";
      EXPECT_EQ(got.empty(), expected.empty()) << read.offset;
      EXPECT_EQ(got, expected.substr(0, got.size())) << read.offset;
    }
  }
}
