// Test helper, run as a fresh process by the sampler tests:
//   sampler_probe rand COUNT    COUNT values of the C library's unseeded rand(), one per line
//   sampler_probe sample N...   the sample generateOutputLines draws for each N in turn from
//                               one sequence, one line per N with its row numbers in
//                               ascending order

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>

#include "sampler.h"

int main(int argc, char** argv) {
  if (argc >= 3 && std::strcmp(argv[1], "rand") == 0) {
    long count = std::atol(argv[2]);
    for (long i = 0; i < count; ++i)
      std::printf("%d\n", std::rand());
    return 0;
  }
  if (argc >= 3 && std::strcmp(argv[1], "sample") == 0) {
    std::set<uint64_t> rows;
    RandomSequence sequence;
    for (int i = 2; i < argc; ++i) {
      generateOutputLines(rows, std::strtoull(argv[i], nullptr, 10), sequence);
      const char* separator = "";
      for (uint64_t row : rows) {
        std::printf("%s%llu", separator, static_cast<unsigned long long>(row));
        separator = " ";
      }
      std::printf("\n");
    }
    return 0;
  }
  std::fprintf(stderr, "usage: sampler_probe rand COUNT | sample N...\n");
  return 2;
}
