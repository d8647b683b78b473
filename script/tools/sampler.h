// Which results may be cut, and which rows a cut result keeps.
//
// A result of query 11, 16 or 20 with more than 10000 rows may be cut to its
// first 1000 rows, its last 1000 rows and 1000 rows drawn at random, no two of
// the drawn rows next to each other or to the first and last blocks. The
// draw uses one RandomSequence from its start: one value per candidate row,
// dropped candidates included, continuing across all cut results of a run in
// the order the output pass meets them. So the same log
// gives the same output on every run and every machine.

#ifndef STREAMTRIM_SAMPLER_H
#define STREAMTRIM_SAMPLER_H

#include <cstdint>
#include <set>

#include "random_sequence.h"

// How large a result must be to be cut, and how much of it a cut keeps. The
// tool and the checker always use the defaults; the fuzz targets use smaller
// sizes, so that small logs reach the cutting. Every function below that
// takes sizes behaves with the defaults as described for 1000 and 10000.
struct CutSizes {
  uint64_t maxUncutRows = 10000;  // a result is cut when it has more rows
  uint64_t blockRows = 1000;      // rows kept at each end of a cut result
  uint64_t randomRows = 1000;     // rows kept at random in between

  uint64_t keptRows() const { return 2 * blockRows + randomRows; }

  // Whether a cut can always be drawn: both counts at least 1, and every
  // result over the limit has room for the drawn rows however the earlier
  // draws fell (each drawn row rules out at most three candidates).
  bool valid() const;
};

// Whether results of queryNr may ever be cut: queries 11, 16 and 20. The
// scanner, the cutter and the checker all ask this one function, the scanner
// at every header, hence inline.
inline bool isCuttableQuery(int32_t queryNr) {
  return queryNr == 11 || queryNr == 16 || queryNr == 20;
}

// The cut rule: true exactly when queryNr is cuttable and rowsOfQuery
// exceeds 10000.
bool mayTruncateOutputOfQuery(int32_t queryNr, uint64_t rowsOfQuery, const CutSizes& sizes = {});

// Draws the next value r of sequence and returns scaleRandomValue(r, min,
// max): a number in [min, max] for max below 2^22 and for every range the
// sampler asks for.
uint64_t generateRandomNumber(uint64_t min, uint64_t max, RandomSequence& sequence);

// r * 2^-31 * (max - min + 1) + min in IEEE double precision, each operation
// rounded on its own from left to right (never fused into one multiply-add),
// then truncated toward zero. The width is computed in 64-bit unsigned
// arithmetic.
uint64_t scaleRandomValue(uint32_t r, uint64_t min, uint64_t max);

// Empties outputLines and fills it with the row numbers a cut result of
// rowsOfQuery rows keeps: 1 to 1000, rowsOfQuery - 999 to rowsOfQuery, and
// 1000 drawn rows from sequence. Requires rowsOfQuery > 10000 and valid
// sizes (throws std::invalid_argument otherwise: the blocks would overlap
// and the draw might never finish). One run of the tool draws every cut
// result from one sequence, in log order; replaying the same calls on a
// fresh sequence gives the same rows.
void generateOutputLines(std::set<uint64_t>& outputLines, uint64_t rowsOfQuery,
                         RandomSequence& sequence, const CutSizes& sizes = {});

#endif  // STREAMTRIM_SAMPLER_H
