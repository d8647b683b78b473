#include "run/row_count_digest.h"

namespace {

// The finalizer of splitmix64: a bijection of 64-bit values that spreads
// every input bit over the whole output.
uint64_t mix(uint64_t z) {
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}

}  // namespace

void RowCountDigest::add(uint64_t table, uint64_t rows) {
  state_ = mix(mix(state_ ^ table) ^ rows);
}
