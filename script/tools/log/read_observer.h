// A way to follow how far a pass has read the log without adding to the work
// done per line: the reader reports each block it reads, and nothing else.

#ifndef STREAMTRIM_READ_OBSERVER_H
#define STREAMTRIM_READ_OBSERVER_H

#include <cstddef>
#include <cstdint>

class ReadObserver {
 public:
  virtual ~ReadObserver() = default;

  // Called after every read from the log: end is the file offset just past
  // the bytes read, which may lie ahead of the previous end after a jump.
  virtual void blockRead(uint64_t end, size_t bytes) = 0;
};

#endif  // STREAMTRIM_READ_OBSERVER_H
