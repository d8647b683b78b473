#include "checker/original_reader.h"

#include "log/log_format.h"
#include "row_scan/row_scan.h"
#include "system/failure.h"

OriginalReader::OriginalReader(const InputFile& input)
    : input_(input), opened_(input_.stamp()), reader_(input_) {}

// The evidence is given a line the first time it is read: the comparison
// goes back at times to read a line again.
bool OriginalReader::read(Line& line) {
  if (!reader_.next(line))
    return false;
  if (line.offset >= notedUpTo_) {
    evidence_.noteLine(line.text, line.offset);
    notedUpTo_ = reader_.offset();
  }
  return true;
}

bool OriginalReader::nextRowIs(std::string_view text) {
  NumberedLineReader::Mark before = reader_.mark();
  Line row;
  bool same = reader_.next(row) && isRowLine(row.text) && row.text == text;
  reader_.reset(before);
  return same;
}

bool OriginalReader::nextRow(Line& line) {
  NumberedLineReader::Mark before = reader_.mark();
  if (read(line) && isRowLine(line.text)) {
    reader_.release();
    return true;
  }
  reader_.reset(before);
  return false;
}

uint64_t OriginalReader::skipRows(uint64_t maxRows) {
  uint64_t skipped = 0;
  Line line;
  while (skipped < maxRows) {
    RowRun run = countRowLines(reader_.buffered(), maxRows - skipped);
    skip(run.bytes, run.rows);
    skipped += run.rows;
    // The bulk count stops before a line that is not a row, or one that
    // reaches past the buffer; reading it decides which.
    if (skipped == maxRows || !nextRow(line))
      break;
    ++skipped;
  }
  return skipped;
}

void OriginalReader::refuseUnlessOriginal() {
  Line line;
  while (read(line)) {
  }
  refuseWideLogWithoutMark(path(), evidence_);
  if (evidence_.holdsDeletionMarker())
    throw Failure(path(),
                  "already a cut log (it holds a deletion marker as streamtrim writes it), not an "
                  "original; give the log it was cut from as the second argument (were the "
                  "arguments swapped?)");
}

void OriginalReader::requireUnchanged() const {
  if (!input_.stamp().sameContentAs(opened_))
    throw Failure(path(), "the log changed while it was being checked");
}

// Rows counted in bulk are stepped over without the evidence, which may do
// without them.
void OriginalReader::skip(size_t bytes, uint64_t lines) {
  reader_.skip(bytes, lines);
  if (reader_.offset() > notedUpTo_) {
    evidence_.rowsLeftOut();
    notedUpTo_ = reader_.offset();
  }
}
