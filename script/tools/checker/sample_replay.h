// The strict check's replay of streamtrim's draw.
//
// One run of the tool draws the random rows of every result it cuts from one
// sequence, in log order (sampler.h). The checker replays the same draws as
// it meets the results: for a cut result it draws the sample the tool would
// have drawn for its row count and holds the kept rows against it; for a
// result left whole that the tool would have cut, it draws that result's
// sample too, so that the later results stay in step.
//
// How far a draw takes the sequence depends on the result's row count N, so
// the replay keeps step only while it knows each N: from the original, when
// it is given, or from the cut when the result's drawn rows are exactly the
// ones drawn for the N it shows (a fault elsewhere in the result does not
// matter then). Otherwise, a row count that cannot be read or that the
// drawn rows belie, the sequence is out of step and no later sample is
// checked, rather than every later one called wrong. Cut rows that a fresh
// run of the tool draws first, where the replay expected the sequence to go
// on, are named as the likely sign of two cut logs joined, which only a
// check for any sample accepts.

#ifndef STREAMTRIM_SAMPLE_REPLAY_H
#define STREAMTRIM_SAMPLE_REPLAY_H

#include <cstdint>
#include <string>

#include "checker/cut_shape.h"
#include "checker/verdict.h"
#include "random_sequence.h"
#include "sampler.h"

class SampleReplay {
 public:
  explicit SampleReplay(const CutSizes& sizes) : sizes_(sizes) {}

  // A result of query queryNr with `rows` rows was left whole.
  void wholeResult(int32_t queryNr, uint64_t rows);

  struct Outcome {
    Verdict verdict = Verdict::kNotChecked;
    ShapeProblem problem;  // at the first kept row that is not the tool's
  };
  // A cut result of query queryNr ended with the given shape; its drawn rows
  // are checked only when shapeOk. originalRows is the original result's row
  // count, when the original tells it, else 0.
  Outcome cutResult(int32_t queryNr, const CutShape& shape, bool shapeOk, uint64_t originalRows);

 private:
  std::string joinedLogsHint(uint64_t rows, const CutShape& shape) const;

  const CutSizes sizes_;
  RandomSequence sequence_;
  bool inStep_ = true;
};

#endif  // STREAMTRIM_SAMPLE_REPLAY_H
