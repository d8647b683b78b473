#include "original_log.h"

#include "failure.h"
#include "log_format.h"
#include "row_scan.h"

OriginalLog::OriginalLog(const InputFile& input)
    : input_(input), opened_(input_.stamp()), reader_(input_) {}

bool OriginalLog::next(Line& line) {
  if (!reader_.next(line))
    return false;
  ++lineNr_;
  return true;
}

bool OriginalLog::nextRow(Line& line) {
  if (!reader_.next(line))
    return false;
  if (!isRowLine(line.text)) {
    reader_.seek(line.offset);
    return false;
  }
  ++lineNr_;
  return true;
}

void OriginalLog::putBack(const Line& line) {
  reader_.seek(line.offset);
  --lineNr_;
}

uint64_t OriginalLog::skipRows(uint64_t maxRows) {
  uint64_t skipped = 0;
  Line line;
  while (skipped < maxRows) {
    RowRun run = countRowLines(reader_.buffered(), maxRows - skipped);
    reader_.skip(run.bytes);
    skipped += run.rows;
    lineNr_ += run.rows;
    // The bulk count stops before a line that is not a row, or one that
    // reaches past the buffer; reading it decides which.
    if (skipped == maxRows || !nextRow(line))
      break;
    ++skipped;
  }
  return skipped;
}

void OriginalLog::requireUnchanged() const {
  if (!input_.stamp().sameContentAs(opened_))
    throw Failure(path(), "the log changed while it was being checked");
}
