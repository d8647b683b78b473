// row_scan_benchmark: how fast each row counter this CPU runs goes through
// the rows of a large result, in memory.
//
// Every counter (the portable one and each vector version the CPU has, as
// rowCountersForThisCpu lists them) counts the same 256 MiB of rows shaped
// like query 16's, up to the line without "|" that ends them, alternately,
// 7 times each (--runs N to change). It prints each counter's median speed in
// GB/s and that of countRowLines, the one the tool picks.
//
// usage: row_scan_benchmark [--runs N]
// It prints figures only; it asserts nothing about them.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "row_scan/row_scan.h"

namespace {

// Rows of query 16's shape and lengths, then one line that ends them.
std::string rowsOfQuery16(size_t bytes) {
  static const char* const kBrands[] = {"Brand#12  ", "Brand#55  ", "Brand#3   "};
  static const char* const kTypes[] = {"PROMO BURNISHED BRASS", "ECONOMY BRUSHED TIN",
                                       "SMALL PLATED COPPER", "MEDIUM POLISHED NICKEL"};
  std::string text;
  text.reserve(bytes + 64);
  for (unsigned i = 0; text.size() < bytes; ++i) {
    text += kBrands[i % 3];
    text += '|';
    text += kTypes[i % 4];
    for (unsigned field : {i % 50 + 1, i % 31}) {
      text += '|';
      text += std::to_string(field);
    }
    text += '\n';
  }
  text += "(the end of the rows)\n";
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 7;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc && std::atoi(argv[i + 1]) > 0) {
      runs = std::atoi(argv[++i]);
    } else {
      std::fprintf(stderr, "usage: row_scan_benchmark [--runs N]\n");
      return 1;
    }
  }
  const std::string text = rowsOfQuery16(size_t{256} << 20);
  auto counters = rowCountersForThisCpu();
  counters.emplace_back("countRowLines", countRowLines);

  std::vector<std::vector<double>> seconds(counters.size());
  RowRun first = countRowLinesPortable(text, UINT64_MAX);
  for (int run = 0; run < runs; ++run) {
    for (size_t c = 0; c < counters.size(); ++c) {
      auto start = std::chrono::steady_clock::now();
      RowRun counted = counters[c].second(text, UINT64_MAX);
      std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
      if (counted.rows != first.rows || counted.bytes != first.bytes) {
        std::fprintf(stderr, "row_scan_benchmark: the %s counter counts %llu rows, not %llu\n",
                     counters[c].first, static_cast<unsigned long long>(counted.rows),
                     static_cast<unsigned long long>(first.rows));
        return 1;
      }
      seconds[c].push_back(took.count());
    }
  }
  std::printf("%llu rows, %zu MiB, %d runs each\n", static_cast<unsigned long long>(first.rows),
              first.bytes >> 20, runs);
  std::printf("%-14s %10s %8s\n", "counter", "median", "GB/s");
  for (size_t c = 0; c < counters.size(); ++c) {
    std::sort(seconds[c].begin(), seconds[c].end());
    double median = seconds[c][seconds[c].size() / 2];
    std::printf("%-14s %8.4f s %8.2f\n", counters[c].first, median,
                static_cast<double>(first.bytes) / median / 1e9);
  }
  return 0;
}
