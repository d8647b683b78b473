#include "checker/cut_shape.h"

#include "checker/problem_text.h"

namespace {

ShapeProblem problemAt(uint64_t line, std::string what) {
  return {line, std::move(what)};
}

}  // namespace

ShapeProblem CutShape::marker(uint64_t deletedRows, uint64_t line) {
  const uint64_t blockRows = sizes_.blockRows, keptRows = sizes_.keptRows();
  ShapeProblem problem;
  if (markerPending_)
    problem = problemAt(line, "expected a kept row after the deletion marker on line " +
                                  number(pendingLine_) + ", found another marker");
  else if (kept_ < blockRows)
    problem = problemAt(line, "expected row " + number(last_ + 1) + " (rows 1 to " +
                                  number(blockRows) + " are all kept), found a deletion marker");
  else if (kept_ > keptRows - blockRows)
    problem =
        problemAt(line, "expected row " + number(last_ + 1) + " (the last " + number(blockRows) +
                            " rows are all kept), found a deletion marker");
  else if (deletedRows == 0)
    problem = problemAt(line, "expected a count of deleted rows, found a marker for 0 rows");
  markerPending_ = true;
  pendingGap_ = deletedRows;
  pendingLine_ = line;
  return problem;
}

ShapeProblem CutShape::row(uint64_t rowNr, uint64_t line) {
  const uint64_t blockRows = sizes_.blockRows, keptRows = sizes_.keptRows();
  uint64_t k = kept_ + 1;  // this row's place among the kept rows
  ShapeProblem problem;
  if (k > keptRows)
    problem = problemAt(line, "expected the cut result to end after " + number(keptRows) +
                                  " kept rows, found row " + number(rowNr));
  else if (rowNr <= last_)
    problem = problemAt(line, "expected a row after row " + number(last_) + ", found row " +
                                  number(rowNr) + " (out of order)");
  else if (k > blockRows && k <= keptRows - blockRows + 1)
    problem = gapBefore(rowNr, line);
  else if (rowNr != last_ + 1)
    problem = problemAt(line, "expected row " + number(last_ + 1) + ", found row " + number(rowNr));
  // The state follows the rows as they are even after a problem, so that a
  // result with one fault still shows its row count when its end is whole:
  // the replay of the draw needs it to keep step with the later results.
  tail_ = rowNr == last_ + 1 ? tail_ + 1 : 1;
  if (k <= keptRows)
    rows_ = tail_ >= blockRows ? rowNr : 0;
  markerPending_ = false;
  kept_ = k;
  last_ = rowNr;
  lastLine_ = line;
  if (k > blockRows && k <= keptRows - blockRows)
    drawn_.push_back({rowNr, line});
  return problem;
}

// Kept rows 1001 to 2001 (the drawn rows and row N - 999) each follow a gap
// that one marker counts exactly.
ShapeProblem CutShape::gapBefore(uint64_t rowNr, uint64_t line) const {
  if (!markerPending_)
    return problemAt(line, "expected a deletion marker after row " + number(last_) +
                               ", found row " + number(rowNr));
  uint64_t missing = rowNr - last_ - 1;
  if (pendingGap_ != missing)
    return problemAt(pendingLine_, "expected a marker for " + number(missing) +
                                       " deleted rows (between rows " + number(last_) + " and " +
                                       number(rowNr) + "), found one for " + number(pendingGap_));
  return {};
}

ShapeProblem CutShape::finish(bool atEnd, uint64_t line) const {
  if (markerPending_)
    return problemAt(pendingLine_, "expected a kept row after this deletion marker, found " +
                                       std::string(atEnd ? "the end of the log" : "none"));
  if (kept_ < sizes_.keptRows())
    return problemAt(line, "expected " + number(sizes_.keptRows()) +
                               " kept rows in a cut result, found " + number(kept_) +
                               (atEnd ? " before the end of the log" : ""));
  if (last_ <= sizes_.maxUncutRows)
    return problemAt(lastLine_, "expected a cut result of more than " +
                                    number(sizes_.maxUncutRows) + " rows, found one of " +
                                    number(last_));
  return {};
}
