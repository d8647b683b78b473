// A fingerprint of the row counts of the result tables that are not cut.
//
// The output pass must notice a log whose tables changed since the gathering
// pass, but keeping every table's row count would make memory grow with the
// number of tables. Both passes instead fold (table number, row count) of
// every table they do not cut into a 64-bit digest and compare the digests
// at the end. Each step is a bijection of the digest for given inputs and is
// injective in the row count, so one changed count always changes the result;
// several changes escape only by a 64-bit coincidence.

#ifndef STREAMTRIM_ROW_COUNT_DIGEST_H
#define STREAMTRIM_ROW_COUNT_DIGEST_H

#include <cstdint>

class RowCountDigest {
 public:
  void add(uint64_t table, uint64_t rows);

  bool operator==(const RowCountDigest& other) const = default;

 private:
  uint64_t state_ = 0;
};

#endif  // STREAMTRIM_ROW_COUNT_DIGEST_H
