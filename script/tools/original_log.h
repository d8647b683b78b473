// The original log, read alongside a cut log to hold the cut against it.
//
// The checker walks both logs once, front to back. Outside the cut results
// it takes the original line by line; inside a cut result it steps over the
// deleted rows in bulk (they are most of a large log) and stops at each kept
// row. It never seeks backwards beyond the line it has just read.

#ifndef STREAMTRIM_ORIGINAL_LOG_H
#define STREAMTRIM_ORIGINAL_LOG_H

#include <cstdint>
#include <string>

#include "input_file.h"
#include "line_reader.h"

class OriginalLog {
 public:
  // Reads the log input, which must outlive this; throws a Failure when it
  // cannot be read.
  explicit OriginalLog(const InputFile& input);

  const std::string& path() const { return input_.path(); }

  // Number of the line next() returned last (1-based).
  uint64_t lineNr() const { return lineNr_; }

  // Reads the next line; false at the end of the log.
  bool next(Line& line);

  // Reads the next line only when it is a row line; otherwise leaves it to
  // be read next and returns false.
  bool nextRow(Line& line);

  // Makes line, the line read last, the next line to be read again.
  void putBack(const Line& line);

  // Steps over up to maxRows row lines; returns how many it stepped over,
  // fewer when a line that is not a row (or the end of the log) came first.
  uint64_t skipRows(uint64_t maxRows);

  // Throws a Failure when the log is not the file, size and age it had
  // when it was opened.
  void requireUnchanged() const;

 private:
  const InputFile& input_;
  FileStamp opened_;
  LineReader reader_;
  uint64_t lineNr_ = 0;
};

#endif  // STREAMTRIM_ORIGINAL_LOG_H
