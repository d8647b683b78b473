// What only the x86-64 row counter has: the CPU features it picks its
// version by.

#include <gtest/gtest.h>

#include "row_scan/row_scan_x86_64.h"

// The tool asks the CPU which counters it may use; the compiler's runtime,
// which asks it too, must agree.
TEST(RowScanCpu, FeaturesAgreeWithTheCompilersRuntime) {
  __builtin_cpu_init();
  X86Features cpu = x86Features();
  const struct {
    const char* name;
    bool ours;
    bool runtime;
  } features[] = {{"popcnt", cpu.popcnt, __builtin_cpu_supports("popcnt") != 0},
                  {"avx2", cpu.avx2, __builtin_cpu_supports("avx2") != 0}};
  for (const auto& feature : features)
    EXPECT_EQ(feature.ours, feature.runtime) << feature.name;
}
