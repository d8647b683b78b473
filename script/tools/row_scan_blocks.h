// The block loop of countRowLines, shared by its SSE2 and AVX2 versions,
// which differ only in how they find the newlines and bars in 64 bytes.
//
// Everything here has internal linkage on purpose: each source file that
// includes it compiles its own copy for its own instruction set, so no copy
// built for AVX2 can end up in the path taken on other CPUs.

#ifndef STREAMTRIM_ROW_SCAN_BLOCKS_H
#define STREAMTRIM_ROW_SCAN_BLOCKS_H

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "row_scan.h"

// The AVX2 version; call it only on a CPU that has AVX2 and POPCNT.
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

template <BlockMasks (*masksOf)(const char*)>
RowRun countInBlocks(std::string_view text, uint64_t maxRows) {
  RowRun run;
  bool lineHasBar = false;  // whether the line running into the next block has a "|"
  for (size_t block = 0; block + 64 <= text.size(); block += 64) {
    BlockMasks masks = masksOf(text.data() + block);
    uint64_t stops = barlessLineEnds(masks, lineHasBar);
    // The rows that end in this block: those before the first barless line.
    uint64_t rowEnds = stops == 0 ? masks.newlines : masks.newlines & ((stops & -stops) - 1);
    uint64_t count = static_cast<uint64_t>(__builtin_popcountll(rowEnds));
    if (count >= maxRows - run.rows) {
      count = maxRows - run.rows;
      rowEnds = lowestBits(rowEnds, static_cast<unsigned>(count));
      stops = 1;
    }
    if (rowEnds != 0) {
      run.rows += count;
      run.bytes = block + 64 - static_cast<size_t>(__builtin_clzll(rowEnds));
    }
    if (stops != 0)
      return run;
    uint64_t events = masks.newlines | masks.bars;
    if (events != 0)
      lineHasBar = ((masks.newlines >> (63 - __builtin_clzll(events))) & 1) == 0;
  }
  RowRun tail = countRowLinesPortable(text.substr(run.bytes), maxRows - run.rows);
  run.rows += tail.rows;
  run.bytes += tail.bytes;
  return run;
}

}  // namespace

#endif  // STREAMTRIM_ROW_SCAN_BLOCKS_H
