#include "system/pipe_input_file.h"

#include <algorithm>

#include "system/failure.h"

PipeInputFile::PipeInputFile(std::string path, const FileStamp& stamp)
    : InputFile(std::move(path)), stamp_(stamp) {
  stamp_.size = 0;
  stamp_.modifiedSeconds = stamp_.modifiedFraction = 0;
}

size_t PipeInputFile::readAt(uint64_t offset, char* buffer, size_t size) const {
  if (size == 0)
    return 0;
  if (offset < position_ && offset < kept_.size()) {
    size_t count = std::min(size, kept_.size() - static_cast<size_t>(offset));
    std::copy_n(kept_.data() + offset, count, buffer);
    return count;
  }
  if (offset != position_)
    throw Failure(path(), "a pipe cannot be read at offset " + std::to_string(offset) +
                              ", only where it stands (" + std::to_string(position_) + ")");
  size_t count = readSome(buffer, size);
  if (position_ < kKeptBytes)
    kept_.append(buffer, std::min(count, kKeptBytes - static_cast<size_t>(position_)));
  position_ += count;
  return count;
}
