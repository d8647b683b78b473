// The shape every cut result must have, checked as its rows go by.
//
// A cut result of N rows shows rows 1 to 1000, then 1000 rows each after a
// deletion marker, then a marker and rows N - 999 to N; every marker counts
// exactly the rows missing before the row that follows it. So: no marker
// within the blocks, exactly one before each of the 1001 rows that follow a
// gap, no empty gap (which keeps the drawn rows apart from each other and
// from the blocks), and 3000 rows in all. CutShape is fed the kept rows and
// markers of one result in order; each call names what breaks the shape at
// that point, if anything. It keeps only the 1000 drawn rows, so that the
// sample can be checked once N is known. Other sizes than 1000 and 10000
// (sampler.h) change these counts alike.

#ifndef STREAMTRIM_CUT_SHAPE_H
#define STREAMTRIM_CUT_SHAPE_H

#include <cstdint>
#include <string>
#include <vector>

#include "sampler.h"

// What is wrong, and on which line of the cut log.
struct ShapeProblem {
  uint64_t line = 0;
  std::string what;  // empty: nothing is wrong
  explicit operator bool() const { return !what.empty(); }
};

class CutShape {
 public:
  explicit CutShape(const CutSizes& sizes = {}) : sizes_(sizes) {}

  struct DrawnRow {
    uint64_t rowNr;
    uint64_t line;
  };

  // A deletion marker for deletedRows rows, on line `line` of the cut log.
  ShapeProblem marker(uint64_t deletedRows, uint64_t line);

  // A kept row with its number, on line `line`.
  ShapeProblem row(uint64_t rowNr, uint64_t line);

  // The result ended (at the end of the log when atEnd) on line `line`. A
  // result too small to be cut is named at its last kept row, whose number
  // shows its row count.
  ShapeProblem finish(bool atEnd, uint64_t line) const;

  uint64_t keptRows() const { return kept_; }

  // The result's row count as the cut shows it: the number of its last kept
  // row, counting no further than the 3000th, when the 1000 kept rows up to
  // it follow each other (a stray marker between them aside); else 0. Rows
  // past the 3000th, a fault of their own, do not move it.
  uint64_t rows() const { return rows_; }

  // The rows kept after gaps, before the last block, in order.
  const std::vector<DrawnRow>& drawnRows() const { return drawn_; }

 private:
  ShapeProblem gapBefore(uint64_t rowNr, uint64_t line) const;

  CutSizes sizes_;
  uint64_t kept_ = 0;
  uint64_t last_ = 0;        // number of the last kept row
  uint64_t lastLine_ = 0;    // its line in the cut log
  uint64_t tail_ = 0;        // kept rows at the end whose numbers follow each other
  uint64_t rows_ = 0;        // see rows()
  uint64_t pendingGap_ = 0;  // count of a marker not yet followed by a row
  uint64_t pendingLine_ = 0;
  bool markerPending_ = false;
  std::vector<DrawnRow> drawn_;
};

#endif  // STREAMTRIM_CUT_SHAPE_H
