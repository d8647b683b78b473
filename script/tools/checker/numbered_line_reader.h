// A log's lines with their numbers, as the checker reads them: its messages
// name lines, and it sometimes reads ahead to see what follows. mark() notes
// where the reader stands and reset() goes back there, line number included.
// The lines read since the mark stay in memory until reset() or release(),
// so going back reads nothing again: a log that comes from a pipe cannot be
// read twice. One mark at a time, released once what follows it is taken.

#ifndef STREAMTRIM_NUMBERED_LINE_READER_H
#define STREAMTRIM_NUMBERED_LINE_READER_H

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "log/line_reader.h"
#include "system/input_file.h"

class NumberedLineReader {
 public:
  // Reads input, which must outlive this.
  explicit NumberedLineReader(const InputFile& input) : reader_(input) {}

  // Reads the next line; false at the end of the log.
  bool next(Line& line);

  // Number of the line read last (1-based; 0 before the first).
  uint64_t lineNr() const { return lineNr_; }

  // Offset of the next byte to be read, where the reader stands.
  uint64_t offset() const { return reader_.offset(); }

  // Offset just past the text of the line read last, its newline excluded.
  uint64_t lastLineEnd() const { return lastLineEnd_; }

  struct Mark {
    uint64_t offset = 0;
    uint64_t lineNr = 0;
    uint64_t lastLineEnd = 0;
  };
  Mark mark();
  void reset(const Mark& mark);
  void release() { reader_.release(); }

  // Whether the line read last ended with a newline.
  bool lastLineTerminated() const { return reader_.offset() > lastLineEnd_; }

  // The lines already read into the buffer and not yet returned
  // (LineReader::buffered); skip() steps over a prefix of them that holds
  // exactly `lines` complete lines.
  std::string_view buffered() const { return reader_.buffered(); }
  void skip(size_t bytes, uint64_t lines);

 private:
  LineReader reader_;
  uint64_t lineNr_ = 0;
  uint64_t lastLineEnd_ = 0;
};

#endif  // STREAMTRIM_NUMBERED_LINE_READER_H
