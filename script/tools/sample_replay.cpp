#include "sample_replay.h"

#include <set>

#include "problem_text.h"

void SampleReplay::wholeResult(int32_t queryNr, uint64_t rows) {
  std::set<uint64_t> skipped;
  if (inStep_ && mayTruncateOutputOfQuery(queryNr, rows, sizes_))
    generateOutputLines(skipped, rows, sequence_, sizes_);
}

SampleReplay::Outcome SampleReplay::cutResult(int32_t queryNr, const CutShape& shape,
                                              bool shapeOk) {
  uint64_t rows = shape.rows();
  if (rows == 0) {
    inStep_ = false;
    return {};
  }
  if (!inStep_ || !mayTruncateOutputOfQuery(queryNr, rows, sizes_))
    return {};  // the tool draws nothing for a result it does not cut
  std::set<uint64_t> sample;
  generateOutputLines(sample, rows, sequence_, sizes_);
  if (!shapeOk)
    return {};
  auto drawn = sample.upper_bound(sizes_.blockRows);
  for (const CutShape::DrawnRow& kept : shape.drawnRows()) {
    if (kept.rowNr != *drawn)
      return {Verdict::kFailed,
              {kept.line, "expected row " + number(*drawn) +
                              ", the next row of streamtrim's sample, found row " +
                              number(kept.rowNr)}};
    ++drawn;
  }
  return {Verdict::kPassed, {}};
}
