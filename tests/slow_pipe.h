// A pipe for the tests, fed from memory a few bytes a read.

#ifndef STREAMTRIM_TESTS_SLOW_PIPE_H
#define STREAMTRIM_TESTS_SLOW_PIPE_H

#include <algorithm>
#include <string_view>

#include "system/pipe_input_file.h"

// A pipe that gives at most `chunk` bytes a read, as one fed slowly does.
class SlowPipe final : public PipeInputFile {
 public:
  SlowPipe(std::string_view bytes, size_t chunk)
      : PipeInputFile("pipe", FileStamp{}), bytes_(bytes), chunk_(chunk) {}

 protected:
  size_t readSome(char* buffer, size_t size) const override {
    size_t count = std::min({size, chunk_, bytes_.size() - at_});
    std::copy_n(bytes_.data() + at_, count, buffer);
    at_ += count;
    return count;
  }

 private:
  std::string_view bytes_;
  size_t chunk_;
  mutable size_t at_ = 0;
};

#endif  // STREAMTRIM_TESTS_SLOW_PIPE_H
