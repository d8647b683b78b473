#include "checker/numbered_line_reader.h"

bool NumberedLineReader::next(Line& line) {
  if (!reader_.next(line))
    return false;
  ++lineNr_;
  lastLineEnd_ = line.offset + line.text.size();
  return true;
}

NumberedLineReader::Mark NumberedLineReader::mark() {
  reader_.hold(reader_.offset());
  return {reader_.offset(), lineNr_, lastLineEnd_};
}

void NumberedLineReader::reset(const Mark& mark) {
  reader_.seek(mark.offset);
  reader_.release();
  lineNr_ = mark.lineNr;
  lastLineEnd_ = mark.lastLineEnd;
}

void NumberedLineReader::skip(size_t bytes, uint64_t lines) {
  if (bytes == 0)
    return;
  reader_.skip(bytes);
  lineNr_ += lines;
  lastLineEnd_ = reader_.offset() - 1;  // before the last skipped line's newline
}
