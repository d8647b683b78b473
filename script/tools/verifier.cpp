#include "verifier.h"

#include <charconv>
#include <limits>
#include <memory>
#include <optional>
#include <set>
#include <string_view>
#include <vector>

#include "cut_shape.h"
#include "failure.h"
#include "input_file.h"
#include "line_reader.h"
#include "log_format.h"
#include "original_log.h"
#include "random_sequence.h"
#include "sampler.h"

namespace {

constexpr std::string_view kRowTag = " [row: ";
constexpr std::string_view kMarkerBefore = "----------- deleted ";
constexpr std::string_view kMarkerAfter = " rows -----------";
constexpr uint64_t kAnyRows = std::numeric_limits<uint64_t>::max();

// Plain decimal, as the cutter writes numbers: digits only, no leading zero.
bool parsePlainNumber(std::string_view digits, uint64_t& value) {
  if (digits.empty() || (digits[0] == '0' && digits.size() > 1))
    return false;
  const char* end = digits.data() + digits.size();
  auto [stop, error] = std::from_chars(digits.data(), end, value);
  return error == std::errc() && stop == end;
}

// A kept row: the original row's text, then " [row: N]".
bool parseKeptRow(std::string_view line, std::string_view& text, uint64_t& rowNr) {
  size_t tag = line.rfind(kRowTag);
  if (tag == line.npos || !line.ends_with(']'))
    return false;
  size_t digits = tag + kRowTag.size();
  if (!parsePlainNumber(line.substr(digits, line.size() - 1 - digits), rowNr))
    return false;
  text = line.substr(0, tag);
  return true;
}

// The middle line of a deletion marker: "----------- deleted G rows -----------".
bool parseMarker(std::string_view line, uint64_t& deletedRows) {
  if (!line.starts_with(kMarkerBefore) || !line.ends_with(kMarkerAfter) ||
      line.size() < kMarkerBefore.size() + kMarkerAfter.size())
    return false;
  size_t length = line.size() - kMarkerBefore.size() - kMarkerAfter.size();
  return parsePlainNumber(line.substr(kMarkerBefore.size(), length), deletedRows);
}

bool looksCut(std::string_view firstRow) {
  std::string_view text;
  uint64_t rowNr = 0;
  return parseKeptRow(firstRow, text, rowNr);
}

// A line as a message quotes it: at most 60 bytes, other bytes than
// printable ASCII escaped, so that one problem stays one line.
std::string quoted(std::string_view text) {
  constexpr size_t kShown = 60;
  std::string out = "\"";
  for (size_t i = 0; i < text.size() && i < kShown; ++i) {
    auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c < 0x7f && c != '"' && c != '\\') {
      out += static_cast<char>(c);
    } else {
      constexpr char kHex[] = "0123456789abcdef";
      out += {'\\', 'x', kHex[c >> 4], kHex[c & 15]};
    }
  }
  out += text.size() > kShown ? "\"..." : "\"";
  return out;
}

std::string number(uint64_t value) {
  return std::to_string(value);
}

// Where the cut log's reader stands in the log's structure.
enum class Place { kHeader, kQuery, kTableStart, kWhole, kCut };

class Verification {
 public:
  Verification(const InputFile& cutLog, const InputFile* original, bool anySample,
               const CutSizes& sizes, VerifyListener& listener);
  VerifySummary run();

 private:
  bool readCutLine(Line& line);
  void handleLine(std::string_view text);
  void handleOutside(std::string_view text);
  void beginTable(std::string_view firstLine);
  bool decideCut(std::string_view firstRow);
  void handleWholeRow(std::string_view text);
  void endWhole();
  void handleCutLine(std::string_view text);
  bool readMarker();
  void handleKeptRow(std::string_view text);
  void compareKeptRow(uint64_t rowNr, std::string_view text);
  void endCut(bool atEnd);
  Verdict checkSample(uint64_t rows);
  void finishOriginalTable();
  void finishLogs();

  bool comparing() const { return original_.has_value() && inStep_; }
  void compareCopied(std::string_view text);
  void problem(const std::string& file, uint64_t line, const std::string& what);
  void resultProblem(uint64_t line, const std::string& what);

  const bool anySample_;
  const CutSizes sizes_;
  VerifyListener& listener_;
  const InputFile& cutInput_;
  FileStamp cutOpened_;
  LineReader cut_;
  uint64_t lineNr_ = 0;       // of the cut log's line read last
  uint64_t lastLineEnd_ = 0;  // offset just past that line's text
  std::optional<OriginalLog> original_;
  bool inStep_ = true;  // the original has matched line for line so far
  VerifySummary summary_;

  Place place_ = Place::kHeader;
  int32_t queryNr_ = 0;
  bool strayMarkerReported_ = false;  // since the last result

  // The current result.
  uint64_t resultLine_ = 0;
  bool reported_ = false;  // its first problem has been reported
  uint64_t wholeRows_ = 0;
  CutShape shape_;
  bool shapeOk_ = true;
  bool rowsMatch_ = true;          // against the original's rows
  uint64_t originalRow_ = 0;       // rows of the original's result read so far
  bool originalRowsLost_ = false;  // the original's result ended before the cut's

  RandomSequence sequence_;  // replays the tool's draws, result by result
  bool sequenceInStep_ = true;
};

Verification::Verification(const InputFile& cutLog, const InputFile* original, bool anySample,
                           const CutSizes& sizes, VerifyListener& listener)
    : anySample_(anySample),
      sizes_(sizes),
      listener_(listener),
      cutInput_(cutLog),
      cutOpened_(cutInput_.stamp()),
      cut_(cutInput_) {
  if (original != nullptr)
    original_.emplace(*original);
}

VerifySummary Verification::run() {
  Line line;
  while (readCutLine(line))
    handleLine(line.text);
  finishLogs();
  return summary_;
}

bool Verification::readCutLine(Line& line) {
  if (!cut_.next(line))
    return false;
  ++lineNr_;
  lastLineEnd_ = line.offset + line.text.size();
  return true;
}

void Verification::handleLine(std::string_view text) {
  switch (place_) {
    case Place::kHeader:
    case Place::kQuery:
      handleOutside(text);
      break;
    case Place::kTableStart:
      beginTable(text);
      break;
    case Place::kWhole:
      if (isRowLine(text)) {
        handleWholeRow(text);
        break;
      }
      endWhole();
      place_ = Place::kHeader;
      handleOutside(text);  // the line that ends a result may be the next header
      break;
    case Place::kCut:
      handleCutLine(text);
      break;
  }
}

// The same steps through a query's output as the cutter takes.
void Verification::handleOutside(std::string_view text) {
  compareCopied(text);
  uint64_t deleted = 0;
  if (!original_ && !strayMarkerReported_ && parseMarker(text, deleted)) {
    strayMarkerReported_ = true;
    problem(cutInput_.path(), lineNr_,
            "expected deletion markers only inside cut results, found one outside");
  }
  if (place_ == Place::kQuery && isSeparatorLine(text)) {
    place_ = Place::kTableStart;
  } else if (isHeaderLine(text)) {
    queryNr_ = queryNumberOf(text);
    place_ = Place::kQuery;
  }
}

void Verification::beginTable(std::string_view firstLine) {
  ++summary_.results;
  if (!isRowLine(firstLine)) {  // a result without rows
    place_ = Place::kHeader;
    handleOutside(firstLine);
    return;
  }
  resultLine_ = lineNr_;
  reported_ = false;
  shapeOk_ = rowsMatch_ = true;
  originalRow_ = 0;
  originalRowsLost_ = false;
  strayMarkerReported_ = false;
  if (!decideCut(firstLine)) {
    place_ = Place::kWhole;
    wholeRows_ = 0;
    handleWholeRow(firstLine);
    return;
  }
  place_ = Place::kCut;
  ++summary_.cutResults;
  shape_ = CutShape(sizes_);
  if (!isCuttableQuery(queryNr_)) {
    shapeOk_ = false;
    resultProblem(lineNr_, "expected a cut result of query 11, 16 or 20, found one of query " +
                               std::to_string(queryNr_));
  }
  handleKeptRow(firstLine);
}

// A result is cut when its first row carries a row number. Against the
// original there is no doubt to settle: a copied first row is the original's
// row 1 itself, even should its text end like a numbered row.
bool Verification::decideCut(std::string_view firstRow) {
  if (comparing()) {
    Line row;
    if (original_->nextRow(row)) {
      bool copied = row.text == firstRow;
      original_->putBack(row);
      if (copied)
        return false;
    }
  }
  return looksCut(firstRow);
}

void Verification::handleWholeRow(std::string_view text) {
  ++wholeRows_;
  if (!comparing() || originalRowsLost_)
    return;
  Line row;
  if (!original_->nextRow(row)) {
    originalRowsLost_ = true;
    rowsMatch_ = false;
    resultProblem(lineNr_, "expected the end of the result (the original's has " +
                               number(wholeRows_ - 1) + " rows), found another row");
    return;
  }
  ++originalRow_;
  if (row.text != text) {
    rowsMatch_ = false;
    resultProblem(lineNr_, "expected row " + number(wholeRows_) + " of the original (line " +
                               number(original_->lineNr()) + "): " + quoted(row.text) + ", found " +
                               quoted(text));
  }
}

void Verification::endWhole() {
  finishOriginalTable();
  if (!anySample_ && mayTruncateOutputOfQuery(queryNr_, wholeRows_, sizes_)) {
    resultProblem(resultLine_, "expected query " + std::to_string(queryNr_) + "'s result of " +
                                   number(wholeRows_) + " rows to be cut (it has more than " +
                                   number(sizes_.maxUncutRows) + "), found it whole");
    std::set<uint64_t> skipped;  // the tool would have drawn for it
    if (sequenceInStep_)
      generateOutputLines(skipped, wholeRows_, sequence_, sizes_);
  }
}

void Verification::handleCutLine(std::string_view text) {
  if (isRowLine(text)) {
    handleKeptRow(text);
  } else if (!(text.empty() && shape_.keptRows() < sizes_.keptRows() && readMarker())) {
    endCut(false);
    place_ = Place::kHeader;
    handleOutside(text);
  }
}

// After an empty line inside a cut result: reads the rest of a deletion
// marker ("----------- deleted G rows -----------" and an empty line) and
// true, or goes back to just after the empty line and false.
bool Verification::readMarker() {
  uint64_t resumeAt = cut_.offset(), resumeLine = lineNr_, resumeEnd = lastLineEnd_;
  Line middle, last;
  uint64_t deleted = 0;
  if (readCutLine(middle) && parseMarker(middle.text, deleted) && readCutLine(last) &&
      last.text.empty()) {
    if (ShapeProblem wrong = shape_.marker(deleted, lineNr_ - 1)) {
      shapeOk_ = false;
      resultProblem(wrong.line, wrong.what);
    }
    return true;
  }
  cut_.seek(resumeAt);
  lineNr_ = resumeLine;
  lastLineEnd_ = resumeEnd;
  return false;
}

void Verification::handleKeptRow(std::string_view line) {
  std::string_view text;
  uint64_t rowNr = 0;
  if (!parseKeptRow(line, text, rowNr)) {
    shapeOk_ = false;
    resultProblem(lineNr_, "expected a kept row ending in \" [row: N]\", found " + quoted(line));
    return;
  }
  if (ShapeProblem wrong = shape_.row(rowNr, lineNr_)) {
    shapeOk_ = false;
    resultProblem(wrong.line, wrong.what);
  }
  compareKeptRow(rowNr, text);
}

void Verification::compareKeptRow(uint64_t rowNr, std::string_view text) {
  if (!comparing() || originalRowsLost_ || rowNr <= originalRow_)
    return;
  uint64_t before = rowNr - originalRow_ - 1;
  uint64_t skipped = original_->skipRows(before);
  originalRow_ += skipped;
  Line row;
  if (skipped < before || !original_->nextRow(row)) {
    originalRowsLost_ = true;
    rowsMatch_ = false;
    resultProblem(lineNr_, "expected a row the original's result has (it ends at row " +
                               number(originalRow_) + "), found row " + number(rowNr));
    return;
  }
  originalRow_ = rowNr;
  if (row.text != text) {
    rowsMatch_ = false;
    resultProblem(lineNr_, "expected row " + number(rowNr) + " of the original (line " +
                               number(original_->lineNr()) + "): " + quoted(row.text) + ", found " +
                               quoted(text));
  }
}

void Verification::endCut(bool atEnd) {
  if (ShapeProblem wrong = shape_.end(atEnd, lineNr_)) {
    shapeOk_ = false;
    resultProblem(wrong.line, wrong.what);
  }
  finishOriginalTable();
  CutResultReport report;
  report.line = resultLine_;
  report.queryNr = queryNr_;
  report.rows = shape_.rows();
  report.shape = shapeOk_ ? Verdict::kPassed : Verdict::kFailed;
  report.sample = checkSample(report.rows);
  if (original_)
    report.original = !inStep_     ? Verdict::kNotChecked
                      : rowsMatch_ ? Verdict::kPassed
                                   : Verdict::kFailed;
  listener_.cutResult(report);
}

// Draws this result's sample as the tool would have, then holds the drawn
// rows against it. A result whose row count cannot be told leaves the
// sequence out of step: the later samples can no longer be checked.
Verdict Verification::checkSample(uint64_t rows) {
  if (anySample_)
    return Verdict::kNotChecked;
  if (rows == 0) {
    sequenceInStep_ = false;
    return Verdict::kNotChecked;
  }
  if (!sequenceInStep_ || !mayTruncateOutputOfQuery(queryNr_, rows, sizes_))
    return Verdict::kNotChecked;  // the tool draws nothing for a result it does not cut
  std::set<uint64_t> sample;
  generateOutputLines(sample, rows, sequence_, sizes_);
  if (!shapeOk_)
    return Verdict::kNotChecked;
  auto drawn = sample.upper_bound(sizes_.blockRows);
  for (const CutShape::DrawnRow& kept : shape_.drawnRows()) {
    if (kept.rowNr != *drawn) {
      resultProblem(kept.line, "expected row " + number(*drawn) +
                                   ", the next row of streamtrim's sample, found row " +
                                   number(kept.rowNr));
      return Verdict::kFailed;
    }
    ++drawn;
  }
  return Verdict::kPassed;
}

// At the end of a result the original must be at the end of its own: its
// remaining rows are stepped over, and a result that goes on is reported.
void Verification::finishOriginalTable() {
  if (!comparing() || originalRowsLost_)
    return;
  uint64_t more = original_->skipRows(kAnyRows);
  if (more > 0) {
    rowsMatch_ = false;
    resultProblem(lineNr_, "expected the result to go on to row " + number(originalRow_ + more) +
                               " as the original's does (line " + number(original_->lineNr()) +
                               "), found its end after row " + number(originalRow_));
  }
}

void Verification::finishLogs() {
  if (place_ == Place::kWhole)
    endWhole();
  else if (place_ == Place::kCut)
    endCut(true);
  else if (place_ == Place::kTableStart)
    ++summary_.results;  // a separator as the last line
  if (lineNr_ > 0 && lastLineEnd_ == cutOpened_.size)
    problem(cutInput_.path(), lineNr_,
            "expected a newline at the end of the last line, found none");
  Line extra;
  if (comparing() && original_->next(extra))
    problem(original_->path(), original_->lineNr(),
            "expected the end of the original (the cut log ends at line " + number(lineNr_) +
                "), found " + quoted(extra.text));
  if (!cutInput_.stamp().sameContentAs(cutOpened_))
    throw Failure(cutInput_.path(), "the log changed while it was being checked");
  if (original_)
    original_->requireUnchanged();
}

// Outside the results, the cut log is the original line for line. The first
// line that differs ends the comparison: past an added or lost line every
// later one would differ too.
void Verification::compareCopied(std::string_view text) {
  if (!comparing())
    return;
  Line line;
  if (!original_->next(line)) {
    inStep_ = false;
    problem(cutInput_.path(), lineNr_,
            "expected the end of the log (the original ends at line " +
                number(original_->lineNr()) + "), found " + quoted(text));
  } else if (line.text != text) {
    inStep_ = false;
    problem(cutInput_.path(), lineNr_,
            "expected line " + number(original_->lineNr()) +
                " of the original: " + quoted(line.text) + ", found " + quoted(text) +
                " (the rest is not compared with the original)");
  }
}

void Verification::problem(const std::string& file, uint64_t line, const std::string& what) {
  ++summary_.problems;
  listener_.problem(file, line, what);
}

void Verification::resultProblem(uint64_t line, const std::string& what) {
  if (reported_)
    return;
  reported_ = true;
  problem(cutInput_.path(), line, what);
}

}  // namespace

VerifySummary verifyCutLog(const InputFile& cutLog, const InputFile* original, bool anySample,
                           VerifyListener& listener, const CutSizes& sizes) {
  Verification verification(cutLog, original, anySample, sizes, listener);
  return verification.run();
}

VerifySummary verifyCutLog(const VerifyOptions& options, VerifyListener& listener) {
  std::unique_ptr<InputFile> cutLog = openInputFile(options.cutLog, kCheckedLogNotRegular);
  std::unique_ptr<InputFile> original;
  if (!options.original.empty())
    original = openInputFile(options.original, kCheckedLogNotRegular);
  refuseUtf16Log(*cutLog);
  if (original)
    refuseUtf16Log(*original);
  return verifyCutLog(*cutLog, original.get(), options.anySample, listener);
}
