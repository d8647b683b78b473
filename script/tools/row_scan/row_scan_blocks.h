// The block loop of countRowLines on x86-64, shared by its SSE2 and AVX2
// versions, which differ only in how they find the newlines and bars in 64
// bytes.
//
// Everything here has internal linkage on purpose: each source file that
// includes it compiles its own copy for its own instruction set, so no copy
// built for wider vectors can end up in the path taken on other CPUs.

#ifndef STREAMTRIM_ROW_SCAN_BLOCKS_H
#define STREAMTRIM_ROW_SCAN_BLOCKS_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "row_scan/row_scan.h"

// The version for wider vectors (row_scan_avx2.cpp); call it only on a CPU
// that has AVX2 and POPCNT.
RowRun countRowLinesAvx2(std::string_view text, uint64_t maxRows);

namespace {

// Bit i stands for byte i of a block of 64.
struct BlockMasks {
  uint64_t newlines;
  uint64_t bars;
};

// The newlines of a block that end a line without "|". A line lacks a "|"
// exactly when the event (newline or bar) before its newline is a newline, or
// is the start of the block while the line running into it has no "|" yet.
// Adding a one just above each newline to the mask of non-events carries it
// up to the next event, so every event whose previous event is a newline
// ends up set.
inline uint64_t barlessLineEnds(const BlockMasks& masks, bool lineHasBar) {
  uint64_t quiet = ~(masks.newlines | masks.bars);
  return masks.newlines & (quiet + (masks.newlines << 1) + (lineHasBar ? 0 : 1));
}

inline uint64_t lowestBits(uint64_t bits, unsigned keep) {
  while (static_cast<unsigned>(__builtin_popcountll(bits)) > keep) {
    bits &= ~(uint64_t{1} << (63 - __builtin_clzll(bits)));
  }
  return bits;
}

// Row lines in text up to the first barless line, at most maxRows of them.
// The common block, all of whose lines are rows, takes no branch but the
// loop's; the block where the run ends is worked out exactly, once.
template <BlockMasks (*masksOf)(const char*)>
RowRun countInBlocks(std::string_view text, uint64_t maxRows) {
  RowRun run;
  bool lineHasBar = false;  // whether the line running into the next block has a "|"
  size_t lastEndBlock = 0;  // the last block with a row's newline, and those newlines
  uint64_t lastEnds = 0;
  size_t block = 0;
  for (; block + 64 <= text.size(); block += 64) {
    BlockMasks masks = masksOf(text.data() + block);
    uint64_t stops = barlessLineEnds(masks, lineHasBar);
    uint64_t count = static_cast<uint64_t>(__builtin_popcountll(masks.newlines));
    if (stops != 0 || count >= maxRows - run.rows) {
      uint64_t rowEnds = stops == 0 ? masks.newlines : masks.newlines & ((stops & -stops) - 1);
      rowEnds =
          lowestBits(rowEnds, static_cast<unsigned>(std::min<uint64_t>(64, maxRows - run.rows)));
      if (rowEnds != 0) {
        run.rows += static_cast<uint64_t>(__builtin_popcountll(rowEnds));
        return {run.rows, block + 64 - static_cast<size_t>(__builtin_clzll(rowEnds))};
      }
      break;
    }
    run.rows += count;
    lastEndBlock = masks.newlines != 0 ? block : lastEndBlock;
    lastEnds = masks.newlines != 0 ? masks.newlines : lastEnds;
    lineHasBar = (masks.newlines | masks.bars) != 0 ? masks.bars > masks.newlines : lineHasBar;
  }
  if (lastEnds != 0)
    run.bytes = lastEndBlock + 64 - static_cast<size_t>(__builtin_clzll(lastEnds));
  if (block + 64 <= text.size())
    return run;  // stopped by a barless line
  RowRun tail = countRowLinesPortable(text.substr(run.bytes), maxRows - run.rows);
  return {run.rows + tail.rows, run.bytes + tail.bytes};
}

}  // namespace

#endif  // STREAMTRIM_ROW_SCAN_BLOCKS_H
