#include "log/line_buffer.h"

#include <algorithm>
#include <cstdlib>
#include <new>

LineBuffer::LineBuffer(size_t capacity) {
  reserve(capacity);
}

LineBuffer::~LineBuffer() {
  std::free(data_);
}

void LineBuffer::reserve(size_t needed) {
  if (needed <= capacity_)
    return;
  size_t capacity = grownCapacity(capacity_, needed);
  void* grown = std::realloc(data_, capacity);
  if (grown == nullptr)
    throw std::bad_alloc();
  data_ = static_cast<char*>(grown);
  capacity_ = capacity;
}

size_t LineBuffer::grownCapacity(size_t capacity, size_t needed) {
  while (capacity < needed) {
    size_t step = capacity < kLargeBuffer ? capacity : capacity / 8;
    capacity += std::max<size_t>(step, 4096);
  }
  return capacity;
}
