// Splits the log into lines, reading it in large blocks into one reused buffer.
//
// Lines are split at newline characters only; every other byte, a carriage
// return or a zero byte included, belongs to the line. A last line without a
// terminating newline is still a line. The buffer grows only when a single
// line does not fit, so memory follows the longest line, not the log.

#ifndef STREAMTRIM_LINE_READER_H
#define STREAMTRIM_LINE_READER_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "input_file.h"
#include "line_buffer.h"

struct Line {
  std::string_view text;  // without its newline; valid until the next call
  uint64_t offset = 0;    // of the line's first byte in the file
};

class LineReader {
 public:
  static constexpr size_t kBlockSize = 256 * 1024;
  // After a seek the reader wants a few lines, not a block: it reads this
  // much first and doubles the amount with every further read.
  static constexpr size_t kFirstReadAfterSeek = 8 * 1024;
  // While the log is read in full blocks, the system is asked to read this
  // far ahead of the reader, a window at a time.
  static constexpr uint64_t kPrefetchWindow = uint64_t{8} << 20;
  static constexpr uint64_t kPrefetchDistance = 2 * kPrefetchWindow;

  explicit LineReader(const InputFile& input);

  const std::string& inputPath() const { return input_.path(); }

  // Reads the next line; false at the end of the log.
  bool next(Line& line);

  // The complete and partial lines already read into the buffer and not yet
  // returned, for callers that scan many lines at once; skip() consumes a
  // prefix of it, which must end just after a newline.
  std::string_view buffered() const;
  void skip(size_t bytes);

  // Offset of the next line next() will return.
  uint64_t offset() const;

  // Continues reading at offset, which must be the start of a line.
  void seek(uint64_t offset);

 private:
  bool fill();  // reads more of the file behind the buffered bytes; false at its end
  void prefetchAhead(uint64_t readTo);

  const InputFile& input_;
  LineBuffer buffer_;
  size_t begin_ = 0;              // first unreturned byte in buffer_
  size_t end_ = 0;                // one past the last byte read into buffer_
  uint64_t bufferOffset_ = 0;     // file offset of buffer_[0]
  size_t readSize_ = kBlockSize;  // how much the next fill() asks for
  bool atEnd_ = false;
  uint64_t prefetchedTo_ = 0;  // the system has been asked to read the file up to here
};

#endif  // STREAMTRIM_LINE_READER_H
