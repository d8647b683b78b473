// The pseudo-random sequence that decides which rows of a cut result survive.
//
// Auditors re-run the tool on their own machines and must get the same rows,
// so the sequence cannot depend on the C library. This is the additive
// lagged-Fibonacci generator that glibc's rand() uses, started as an unseeded
// process starts it (seed 1), written out here so that every platform draws
// the same values: integers from 0 to 2^31 - 1.

#ifndef STREAMTRIM_RANDOM_SEQUENCE_H
#define STREAMTRIM_RANDOM_SEQUENCE_H

#include <array>
#include <cstdint>

class RandomSequence {
 public:
  RandomSequence();  // at the start of the default sequence

  uint32_t next();

 private:
  struct Seeded {};
  // Seeds and warms up the state; the default constructor copies the state
  // this leaves, computed once per process (the checker starts a sequence
  // for every log it checks, the fuzz targets thousands a second).
  explicit RandomSequence(Seeded);

  static constexpr int kDegree = 34;  // values of history the recurrence reads
  std::array<uint32_t, kDegree> history_{};
  int newest_ = 0;  // index of the most recent value in history_
};

#endif  // STREAMTRIM_RANDOM_SEQUENCE_H
