// countRowLines on x86-64: 64 bytes at a time, with AVX2 where the CPU has it
// (row_scan_avx2.cpp) and SSE2, which every x86-64 CPU has, elsewhere.

#include <cpuid.h>
#include <emmintrin.h>

#include "row_scan/row_scan.h"
#include "row_scan/row_scan_blocks.h"
#include "row_scan/row_scan_x86_64.h"

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

// The registers the system saves on a task switch (XCR0); only what it saves
// may be used.
uint64_t savedRegisterState() {
  uint32_t low = 0;
  uint32_t high = 0;
  __asm__("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
  return uint64_t{high} << 32 | low;
}

RowCounter fastestCounter() {
  X86Features cpu = x86Features();
  if (cpu.popcnt && cpu.avx2)
    return countRowLinesAvx2;
  return countInBlocks<masksSse2>;
}

const RowCounter fastest = fastestCounter();

}  // namespace

// Asked of the CPU itself rather than through __builtin_cpu_supports, whose
// runtime support not every toolchain links (zig's for macOS lacks it).
X86Features x86Features() {
  X86Features features;
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0)
    return features;
  features.popcnt = (ecx & bit_POPCNT) != 0;
  if ((ecx & bit_OSXSAVE) == 0 || (ecx & bit_AVX) == 0)
    return features;
  uint64_t saved = savedRegisterState();
  bool ymmSaved = (saved & 0x6) == 0x6;  // SSE and AVX state
  if (__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) == 0)
    return features;
  features.avx2 = ymmSaved && (ebx & bit_AVX2) != 0;
  return features;
}

RowRun countRowLines(std::string_view text, uint64_t maxRows) {
  return fastest(text, maxRows);
}

std::vector<std::pair<const char*, RowCounter>> rowCountersForThisCpu() {
  std::vector<std::pair<const char*, RowCounter>> counters{{"portable", countRowLinesPortable},
                                                           {"sse2", countInBlocks<masksSse2>}};
  X86Features cpu = x86Features();
  if (cpu.popcnt && cpu.avx2)
    counters.emplace_back("avx2", countRowLinesAvx2);
  return counters;
}
