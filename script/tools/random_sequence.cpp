#include "random_sequence.h"

namespace {

// The first 344 values of the recurrence are discarded, as glibc does, so
// that the seed's pattern has mixed into the whole state.
constexpr int kWarmUp = 344;

}  // namespace

RandomSequence::RandomSequence() {
  static const RandomSequence start{Seeded{}};
  *this = start;
}

// The state is seeded with the minimal standard generator (16807 * x mod
// 2^31 - 1), then each value is the sum of those 31 and 3 places back,
// modulo 2^32; rand() returns it without its lowest bit.
RandomSequence::RandomSequence(Seeded) {
  int64_t word = 1;
  history_[0] = 1;
  for (int i = 1; i < 31; ++i) {
    word = (16807 * word) % 2147483647;
    history_[i] = static_cast<uint32_t>(word);
  }
  for (int i = 31; i < kDegree; ++i)
    history_[i] = history_[i - 31];
  newest_ = kDegree - 1;
  for (int i = kDegree; i < kWarmUp; ++i)
    next();
}

uint32_t RandomSequence::next() {
  int slot = (newest_ + 1) % kDegree;  // holds the value kDegree places back
  uint32_t value =
      history_[(slot + kDegree - 31) % kDegree] + history_[(slot + kDegree - 3) % kDegree];
  history_[slot] = value;
  newest_ = slot;
  return value >> 1;
}
