#include "row_scan.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
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

#if defined(__SSE2__)

namespace {

// Bit i is set when block[i] == c.
uint64_t maskOf(const char* block, char c) {
  const __m128i wanted = _mm_set1_epi8(c);
  uint64_t mask = 0;
  for (int i = 0; i < 4; ++i) {
    __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * i));
    uint32_t bits = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, wanted)));
    mask |= uint64_t{bits} << (16 * i);
  }
  return mask;
}

}  // namespace

RowRun countRowLines(std::string_view text, uint64_t maxRows) {
  RowRun run;
  const char* data = text.data();
  // lastBar is one past the last "|" seen so far, 0 for none: a line that
  // starts at run.bytes is a row when a "|" lies at or after its start.
  size_t lastBar = 0;
  size_t block = 0;
  for (; block + 64 <= text.size() && run.rows < maxRows; block += 64) {
    uint64_t newlines = maskOf(data + block, '\n');
    uint64_t bars = maskOf(data + block, '|');
    while (newlines != 0) {
      unsigned bit = static_cast<unsigned>(__builtin_ctzll(newlines));
      uint64_t barsBefore = bars & ((uint64_t{1} << bit) - 1);
      if (barsBefore != 0)
        lastBar = block + 64 - static_cast<size_t>(__builtin_clzll(barsBefore));
      if (lastBar <= run.bytes)
        return run;  // this line has no "|"
      run.bytes = block + bit + 1;
      if (++run.rows == maxRows)
        return run;
      newlines &= newlines - 1;
    }
    if (bars != 0)
      lastBar = block + 64 - static_cast<size_t>(__builtin_clzll(bars));
  }
  RowRun tail = countRowLinesPortable(text.substr(run.bytes), maxRows - run.rows);
  run.rows += tail.rows;
  run.bytes += tail.bytes;
  return run;
}

#else

RowRun countRowLines(std::string_view text, uint64_t maxRows) {
  return countRowLinesPortable(text, maxRows);
}

#endif
