#include "row_scan.h"

#include <cstring>

#if defined(__x86_64__)
#include <emmintrin.h>

#include "row_scan_blocks.h"
#endif

RowRun countRowLinesPortable(std::string_view text, uint64_t maxRows) {
  RowRun run;
  const char* data = text.data();
  while (run.rows < maxRows) {
    size_t left = text.size() - run.bytes;
    const void* newline = std::memchr(data + run.bytes, '\n', left);
    if (newline == nullptr)
      break;
    size_t length = static_cast<size_t>(static_cast<const char*>(newline) - (data + run.bytes));
    if (std::memchr(data + run.bytes, '|', length) == nullptr)
      break;
    run.bytes += length + 1;
    ++run.rows;
  }
  return run;
}

#if defined(__x86_64__)

namespace {

BlockMasks masksSse2(const char* block) {
  const __m128i newline = _mm_set1_epi8('\n');
  const __m128i bar = _mm_set1_epi8('|');
  BlockMasks masks{0, 0};
  for (int i = 0; i < 4; ++i) {
    __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * i));
    uint32_t newlines = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, newline)));
    uint32_t bars = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, bar)));
    masks.newlines |= uint64_t{newlines} << (16 * i);
    masks.bars |= uint64_t{bars} << (16 * i);
  }
  return masks;
}

bool haveVectorCounters() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("popcnt");
}

RowCounter fastestCounter() {
  if (!haveVectorCounters())
    return countInBlocks<masksSse2>;
  if (__builtin_cpu_supports("avx512bw"))
    return countRowLinesAvx512;
  if (__builtin_cpu_supports("avx2"))
    return countRowLinesAvx2;
  return countInBlocks<masksSse2>;
}

const RowCounter fastest = fastestCounter();

}  // namespace

RowRun countRowLines(std::string_view text, uint64_t maxRows) {
  return fastest(text, maxRows);
}

std::vector<std::pair<const char*, RowCounter>> rowCountersForThisCpu() {
  std::vector<std::pair<const char*, RowCounter>> counters{{"portable", countRowLinesPortable},
                                                           {"sse2", countInBlocks<masksSse2>}};
  if (haveVectorCounters() && __builtin_cpu_supports("avx2"))
    counters.emplace_back("avx2", countRowLinesAvx2);
  if (haveVectorCounters() && __builtin_cpu_supports("avx512bw"))
    counters.emplace_back("avx512", countRowLinesAvx512);
  return counters;
}

#else

RowRun countRowLines(std::string_view text, uint64_t maxRows) {
  return countRowLinesPortable(text, maxRows);
}

std::vector<std::pair<const char*, RowCounter>> rowCountersForThisCpu() {
  return {{"portable", countRowLinesPortable}};
}

#endif
