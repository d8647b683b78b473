// One cut result held, as the checker reads it, against what every cut
// must be: its kept rows and deletion markers against the shape of a cut
// (cut_shape.h), its rows against the original's when it is given
// (original_log.h), and the rows kept against the tool's draw when the check
// is strict (sample_replay.h). Once the result ends it is reported with its
// verdicts; within it only the first problem is (problem_report.h).

#ifndef STREAMTRIM_CUT_RESULT_CHECK_H
#define STREAMTRIM_CUT_RESULT_CHECK_H

#include <cstdint>
#include <optional>
#include <string_view>

#include "checker/cut_shape.h"
#include "checker/original_log.h"
#include "checker/problem_report.h"
#include "checker/sample_replay.h"
#include "sampler.h"

// One cut result's kept rows and markers, held against the shape every cut
// must have, the original's rows and the tool's draw.
class CutResultCheck {
 public:
  CutResultCheck(const CutSizes& sizes, ProblemReport& problems,
                 std::optional<OriginalLog>& original, std::optional<SampleReplay>& replay)
      : sizes_(sizes), problems_(problems), original_(original), replay_(replay) {}

  // The result begins on line `line` with a kept row, which comes next.
  void start(uint64_t line, int32_t queryNr);
  void keptRow(std::string_view row, uint64_t line);
  // A deletion marker whose middle line is line `line`; converted tells
  // which of its three lines has a line end converted to CRLF.
  void marker(uint64_t deletedRows, uint64_t line, const bool (&converted)[3]);
  // Whether a deletion marker may still come: not after the last kept row.
  bool mayHaveMarker() const { return shape_.keptRows() < sizes_.keptRows(); }
  // The result ended (at the end of the log when atEnd) on line `line`.
  void finish(bool atEnd, uint64_t line);

 private:
  void shapeProblem(const ShapeProblem& wrong);

  const CutSizes sizes_;
  ProblemReport& problems_;
  std::optional<OriginalLog>& original_;
  std::optional<SampleReplay>& replay_;
  uint64_t line_ = 0;
  int32_t queryNr_ = 0;
  CutShape shape_;
  bool shapeOk_ = true;
};

#endif  // STREAMTRIM_CUT_RESULT_CHECK_H
