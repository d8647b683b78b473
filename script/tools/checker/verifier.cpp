#include "checker/verifier.h"

#include <memory>
#include <optional>
#include <string_view>

#include "checker/cut_log_syntax.h"
#include "checker/cut_result_check.h"
#include "checker/numbered_line_reader.h"
#include "checker/original_log.h"
#include "checker/problem_report.h"
#include "checker/problem_text.h"
#include "checker/sample_replay.h"
#include "decode/decoded_log.h"
#include "large_results.h"
#include "log/log_evidence.h"
#include "log/log_format.h"
#include "sampler.h"
#include "system/failure.h"
#include "system/input_file.h"

namespace {

// A result is cut when its first row carries a row number. Against the
// original there is no doubt to settle: a copied first row is the original's
// row 1 itself, even should its text end like a numbered row.
bool isCutResult(std::string_view firstRow, std::optional<OriginalLog>& original) {
  if (original && original->copiesFirstRow(firstRow))
    return false;
  std::string_view text;
  uint64_t rowNr = 0;
  bool converted = false;
  return parseKeptRow(firstRow, text, rowNr, converted);
}

// What the cutter writes only inside cut results, found outside them: alone,
// with no original to tell a copied line from an added one, the first of
// each stretch between results is named. A kept row there is most likely one
// added to the end of a cut result, past its footer or an empty line. Empty
// when text is neither.
std::string strayProblem(std::string_view text) {
  uint64_t deleted = 0, rowNr = 0;
  std::string_view rowText;
  bool converted = false;
  if (parseMarker(text, deleted))
    return "expected deletion markers only inside cut results, found one outside";
  if (isRowLine(text) && parseKeptRow(text, rowText, rowNr, converted))
    return "expected rows numbered \" [row: N]\" only inside cut results, found row " +
           number(rowNr) + " outside";
  return {};
}

// A whole result the tool would have cut, when the check is strict; empty
// when it may stay whole.
std::string uncutProblem(int32_t queryNr, uint64_t rows, const CutSizes& sizes) {
  if (!mayTruncateOutputOfQuery(queryNr, rows, sizes))
    return {};
  return "expected query " + std::to_string(queryNr) + "'s result of " + number(rows) +
         " rows to be cut (it has more than " + number(sizes.maxUncutRows) + "), found it whole";
}

// At the cut log's end: the original's lines past it are a problem, named
// at the original's line, and the original must be no cut log itself.
void finishOriginal(OriginalLog& original, uint64_t cutLines, ProblemReport& problems) {
  std::string extra = original.endLog(cutLines);
  uint64_t extraLine = original.lineNr();
  original.refuseUnlessOriginal();
  if (!extra.empty())
    problems.problem(original.path(), extraLine, extra);
}

// Where the cut log's reader stands in the log's structure.
enum class Place { kHeader, kQuery, kTableStart, kWhole, kCut };

// The walk over the cut log's structure, as the cutter takes it: outside the
// results, whole results and cut ones. It hands what it reads to the
// original, when it is given, and each whole result to the sample's replay,
// when the check is strict.
class Verification {
 public:
  Verification(const InputFile& cutLog, const InputFile* original, bool anySample,
               const CutSizes& sizes, VerifyListener& listener);
  VerifySummary run();

 private:
  void handleLine(std::string_view text);
  void handleOutside(std::string_view text);
  void beginTable(std::string_view firstLine);
  void handleWholeRow(std::string_view text);
  void endWhole();
  void handleCutLine(std::string_view text);
  bool readMarker(bool firstConverted);
  void finishLogs();

  const CutSizes sizes_;
  const InputFile& cutInput_;
  FileStamp cutOpened_;
  NumberedLineReader cut_;
  std::optional<OriginalLog> original_;
  std::optional<SampleReplay> replay_;  // none when any sample passes
  ProblemReport problems_;
  CutResultCheck cutResult_;
  VerifySummary summary_;
  LogEvidence evidence_{LogEvidence::Scope::kEncoding};  // of the cut log
  LargeResultWatch large_;                               // in the cut log

  Place place_ = Place::kHeader;
  int32_t queryNr_ = 0;
  bool strayReported_ = false;  // a marker or kept row outside the results, since the last result
  uint64_t resultLine_ = 0;     // of the current result's first row
  uint64_t wholeRows_ = 0;      // of the current result, when whole
};

Verification::Verification(const InputFile& cutLog, const InputFile* original, bool anySample,
                           const CutSizes& sizes, VerifyListener& listener)
    : sizes_(sizes),
      cutInput_(cutLog),
      cutOpened_(cutInput_.stamp()),
      cut_(cutInput_),
      problems_(listener, cutInput_.path()),
      cutResult_(sizes_, problems_, original_, replay_),
      large_(sizes_.maxUncutRows) {
  if (original != nullptr)
    original_.emplace(*original);
  if (!anySample)
    replay_.emplace(sizes_);
}

VerifySummary Verification::run() {
  Line line;
  while (cut_.next(line)) {
    evidence_.noteLine(line.text, line.offset);
    handleLine(line.text);
  }
  finishLogs();
  summary_.problems = problems_.count();
  return summary_;
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
  if (original_)
    problems_.atLine(cut_.lineNr(), original_->copiedLine(text));
  if (!original_ && !strayReported_) {
    std::string stray = strayProblem(text);
    problems_.atLine(cut_.lineNr(), stray);
    strayReported_ = !stray.empty();
  }
  if (place_ == Place::kQuery && isSeparatorLine(text)) {
    place_ = Place::kTableStart;
    large_.tableBegins();
  } else if (isHeaderLine(text)) {
    queryNr_ = queryNumberOf(text);
    place_ = Place::kQuery;
    large_.header(cut_.lineNr(), queryNr_);
    problems_.notes(large_.take());
  } else {
    large_.otherLine(text, isRowLine(text));
  }
}

void Verification::beginTable(std::string_view firstLine) {
  ++summary_.results;
  if (!isRowLine(firstLine)) {  // a result without rows
    place_ = Place::kHeader;
    handleOutside(firstLine);
    return;
  }
  resultLine_ = cut_.lineNr();
  problems_.beginResult();
  strayReported_ = false;
  if (original_)
    original_->beginResult();
  if (!isCutResult(firstLine, original_)) {
    place_ = Place::kWhole;
    wholeRows_ = 0;
    handleWholeRow(firstLine);
    return;
  }
  place_ = Place::kCut;
  ++summary_.cutResults;
  large_.cutTable();
  cutResult_.start(resultLine_, queryNr_);
  cutResult_.keptRow(firstLine, resultLine_);
}

void Verification::handleWholeRow(std::string_view text) {
  ++wholeRows_;
  if (original_)
    problems_.inResult(cut_.lineNr(), original_->wholeRow(wholeRows_, text));
}

void Verification::endWhole() {
  if (original_)
    problems_.inResult(cut_.lineNr(), original_->endResult());
  large_.wholeTable(resultLine_, queryNr_, wholeRows_);
  problems_.notes(large_.take());
  if (!replay_)
    return;
  problems_.inResult(resultLine_, uncutProblem(queryNr_, wholeRows_, sizes_));
  replay_->wholeResult(queryNr_, wholeRows_);  // the tool would have drawn for it
}

void Verification::handleCutLine(std::string_view text) {
  if (isRowLine(text)) {
    cutResult_.keptRow(text, cut_.lineNr());
  } else if (bool converted = false; !(isMarkerEmptyLine(text, converted) &&
                                       cutResult_.mayHaveMarker() && readMarker(converted))) {
    cutResult_.finish(false, cut_.lineNr());
    place_ = Place::kHeader;
    handleOutside(text);
  }
}

// After an empty line inside a cut result (its line end converted when
// firstConverted): reads the rest of a deletion marker ("----------- deleted
// G rows -----------" and an empty line) and true, or goes back to just
// after the empty line and false. A marker with line ends converted to CRLF
// counts as one.
bool Verification::readMarker(bool firstConverted) {
  NumberedLineReader::Mark afterEmptyLine = cut_.mark();
  Line middle, last;
  uint64_t deleted = 0;
  bool converted[3] = {firstConverted, false, false};
  if (cut_.next(middle) && parseMarker(middle.text, deleted, converted[1]) && cut_.next(last) &&
      isMarkerEmptyLine(last.text, converted[2])) {
    cut_.release();
    cutResult_.marker(deleted, cut_.lineNr() - 1, converted);
    return true;
  }
  cut_.reset(afterEmptyLine);
  return false;
}

void Verification::finishLogs() {
  if (place_ == Place::kWhole)
    endWhole();
  else if (place_ == Place::kCut)
    cutResult_.finish(true, cut_.lineNr());
  else if (place_ == Place::kTableStart)
    ++summary_.results;  // a separator as the last line
  large_.end();
  problems_.notes(large_.take());
  refuseWideLogWithoutMark(cutInput_.path(), evidence_);
  if (cut_.lineNr() > 0 && !cut_.lastLineTerminated())
    problems_.atLine(cut_.lineNr(), "expected a newline at the end of the last line, found none");
  if (original_)
    finishOriginal(*original_, cut_.lineNr(), problems_);
  if (!cutInput_.stamp().sameContentAs(cutOpened_))
    throw Failure(cutInput_.path(), "the log changed while it was being checked");
  if (original_)
    original_->requireUnchanged();
}

}  // namespace

VerifySummary verifyCutLog(const InputFile& cutLog, const InputFile* original, bool anySample,
                           VerifyListener& listener, const CutSizes& sizes) {
  Verification verification(cutLog, original, anySample, sizes, listener);
  return verification.run();
}

VerifySummary verifyCutLog(const VerifyOptions& options, VerifyListener& listener) {
  std::unique_ptr<InputFile> cutLog = openLog(options.cutLog, Readable::kFileOrPipe);
  std::unique_ptr<InputFile> original;
  if (!options.original.empty())
    original = openLog(options.original, Readable::kFileOrPipe);
  for (const InputFile* log : {cutLog.get(), original.get()}) {
    if (log != nullptr) {
      refusePackedFile(*log);
      refuseWideLog(*log);
      refuseNonTextLog(*log);
    }
  }
  return verifyCutLog(*cutLog, original.get(), options.anySample, listener);
}
