// The memory a LineReader reads into: one block of bytes that grows only when
// a single line does not fit.
//
// Up to kLargeBuffer the capacity doubles, which keeps the count of moves
// small; past it, it grows by an eighth, so that a line of hundreds of
// megabytes costs little more than its own size. The block is held with
// malloc and realloc: a large block is then mapped memory that the system can
// grow in place or move without copying, so that growing never needs the old
// and the new block at once.

#ifndef STREAMTRIM_LINE_BUFFER_H
#define STREAMTRIM_LINE_BUFFER_H

#include <cstddef>

class LineBuffer {
 public:
  static constexpr size_t kLargeBuffer = size_t{16} << 20;

  // Throws std::bad_alloc when the memory cannot be had.
  explicit LineBuffer(size_t capacity);
  ~LineBuffer();
  LineBuffer(const LineBuffer&) = delete;
  LineBuffer& operator=(const LineBuffer&) = delete;

  char* data() { return data_; }
  const char* data() const { return data_; }
  size_t capacity() const { return capacity_; }

  // Makes room for at least needed bytes, keeping the content.
  void reserve(size_t needed);

  // The capacity that the policy above gives a buffer of capacity bytes that
  // must hold needed bytes.
  static size_t grownCapacity(size_t capacity, size_t needed);

 private:
  char* data_ = nullptr;
  size_t capacity_ = 0;
};

#endif  // STREAMTRIM_LINE_BUFFER_H
