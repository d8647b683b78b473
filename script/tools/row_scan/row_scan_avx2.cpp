// countRowLines for CPUs with AVX2, compiled for AVX2 whatever the build's
// flags; row_scan_x86_64.cpp calls it only after checking the CPU.

#include <immintrin.h>

// Everything the shared loop needs is included before the target switch, so
// that no library code is compiled for the wider instructions and later
// linked into the path every CPU takes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "row_scan/row_scan.h"

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2,popcnt"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2,popcnt")
#endif

#include "row_scan/row_scan_blocks.h"

namespace {

BlockMasks masksAvx2(const char* block) {
  const __m256i newline = _mm256_set1_epi8('\n');
  const __m256i bar = _mm256_set1_epi8('|');
  __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(block));
  __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(block + 32));
  auto maskOf = [](__m256i bytes, __m256i wanted) {
    return uint64_t{static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(bytes, wanted)))};
  };
  uint64_t newlines = maskOf(low, newline) | maskOf(high, newline) << 32;
  uint64_t bars = maskOf(low, bar) | maskOf(high, bar) << 32;
  return {newlines, bars};
}

}  // namespace

RowRun countRowLinesAvx2(std::string_view text, uint64_t maxRows) {
  return countInBlocks<masksAvx2>(text, maxRows);
}

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
