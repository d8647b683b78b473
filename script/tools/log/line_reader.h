// Splits the log into lines, reading it in large blocks into one reused buffer.
//
// Lines are split at newline characters only; every other byte, a carriage
// return or a zero byte included, belongs to the line. A last line without a
// terminating newline is still a line. The buffer grows only when a single
// line does not fit (line_buffer.h), so memory follows the longest line, not
// the log. A log smaller than a block gets a buffer of its own size that
// grows only when full: a small log costs little memory, and the fuzz
// targets' thousands of small logs a second no megabyte each.
//
// A pipe (pipe_input_file.h) cannot be read twice, so the reader never reads
// an offset again that it has read past: what it may go back to it holds in
// its buffer (hold()), and it starts with a whole block, since a pipe's size
// tells nothing.
//
// Read from the disk, the log streams as fast as the disk delivers it: the
// input is opened with sequential advice, so the system reads far ahead of
// each block asked for, and the scanning of one block overlaps the reading of
// the next ones without a second thread.

#ifndef STREAMTRIM_LINE_READER_H
#define STREAMTRIM_LINE_READER_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "log/line_buffer.h"
#include "log/read_observer.h"
#include "system/input_file.h"

struct Line {
  std::string_view text;  // without its newline; valid until the next call
  uint64_t offset = 0;    // of the line's first byte in the file
};

class LineReader {
 public:
  // One read while streaming: enough that the system calls cost little next
  // to scanning the bytes (a quarter of it costs a tenth more on a page-cached
  // log), small enough to stay near the processor's caches.
  static constexpr size_t kBlockSize = 1024 * 1024;
  // After a seek the reader wants a few lines, not a block: it reads this
  // much first and doubles the amount with every further read.
  static constexpr size_t kFirstReadAfterSeek = 8 * 1024;
  // The smallest buffer, for the smallest logs.
  static constexpr size_t kSmallestBuffer = 256;

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

  // Keeps the bytes from offset on (a line start at or before offset(),
  // still buffered) in the buffer until release(), so that a seek() back to
  // it reads nothing again. One hold at a time; it spans a few lines, since
  // the buffer grows to keep them.
  void hold(uint64_t offset) { held_ = offset; }
  void release() { held_ = kNothingHeld; }

  // Reports every block read from now on to observer (none when null).
  void observeReads(ReadObserver* observer) { observer_ = observer; }

 private:
  bool fill();  // reads more of the file behind the buffered bytes; false at its end

  static constexpr uint64_t kNothingHeld = UINT64_MAX;

  const InputFile& input_;
  LineBuffer buffer_;
  size_t begin_ = 0;              // first unreturned byte in buffer_
  size_t end_ = 0;                // one past the last byte read into buffer_
  uint64_t bufferOffset_ = 0;     // file offset of buffer_[0]
  size_t readSize_ = kBlockSize;  // how much the next fill() asks for
  bool atEnd_ = false;
  uint64_t held_ = kNothingHeld;  // offset of the first byte fill() must keep
  ReadObserver* observer_ = nullptr;
};

#endif  // STREAMTRIM_LINE_READER_H
