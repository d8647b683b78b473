// countRowLines for CPUs with AVX-512BW, compiled for it whatever the build's
// flags; row_scan.cpp calls it only after checking the CPU. One compare per
// character gives a block's whole 64-bit mask.

#if defined(__x86_64__)

#include <immintrin.h>

// Everything the shared loop needs is included before the target switch, so
// that no library code is compiled for the wider instructions and later
// linked into the path every CPU takes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "row_scan.h"

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx512f,avx512bw,popcnt"))), \
                             apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx512f,avx512bw,popcnt")
#endif

#include "row_scan_blocks.h"

namespace {

BlockMasks masksAvx512(const char* block) {
  __m512i bytes = _mm512_loadu_si512(block);
  return {_mm512_cmpeq_epi8_mask(bytes, _mm512_set1_epi8('\n')),
          _mm512_cmpeq_epi8_mask(bytes, _mm512_set1_epi8('|'))};
}

}  // namespace

RowRun countRowLinesAvx512(std::string_view text, uint64_t maxRows) {
  return countInBlocks<masksAvx512>(text, maxRows);
}

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

#endif  // __x86_64__
