// The cutting rule as the README states it, written plainly over whole lines
// in memory and apart from the tool's code: the fuzz targets hold the tool's
// cut against it byte for byte.
//
// The rows a cut keeps come from the C library's random(), started as an
// unseeded process starts it (the sequence the README promises), drawn into
// the rows between the blocks, one value per candidate, a candidate kept
// when neither it nor a neighbour is kept already.

#ifndef STREAMTRIM_FUZZ_CUT_MODEL_H
#define STREAMTRIM_FUZZ_CUT_MODEL_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "sampler.h"

struct ModelCut {
  std::string bytes;
  // Byte ranges [begin, end) of what numbers the cut results: every
  // deletion marker with its empty lines, and every " [row: N]" with the
  // newline after it.
  std::vector<std::pair<size_t, size_t>> numbering;
};

ModelCut cutByModel(std::string_view log, const CutSizes& sizes);

// A result table as the model finds it: the byte range of its rows in the
// log, their count, and whether it is cut.
struct ModelTable {
  size_t begin;
  size_t end;
  uint64_t rows;
  bool cut;
};

std::vector<ModelTable> tablesByModel(std::string_view log, const CutSizes& sizes);

#endif  // STREAMTRIM_FUZZ_CUT_MODEL_H
