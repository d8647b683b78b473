#include "pipe_input_file.h"

#include <algorithm>

#include "failure.h"

PipeInputFile::PipeInputFile(std::string path, const FileStamp& stamp)
    : InputFile(std::move(path)), stamp_(stamp) {
  stamp_.size = 0;
  stamp_.modifiedSeconds = stamp_.modifiedFraction = 0;
}

size_t PipeInputFile::readAt(uint64_t offset, char* buffer, size_t size) const {
  if (size == 0)
    return 0;
  if (offset < position_) {
    if (offset >= kept_.size())
      throw Failure(path(), "a pipe cannot be read again at offset " + std::to_string(offset));
    size_t count = std::min(size, kept_.size() - static_cast<size_t>(offset));
    std::copy_n(kept_.data() + offset, count, buffer);
    return count;
  }
  while (position_ < offset) {
    char dropped[16 * 1024];
    if (readOn(dropped,
               static_cast<size_t>(std::min<uint64_t>(sizeof dropped, offset - position_))) == 0)
      return 0;
  }
  return readOn(buffer, size);
}

// Reads from where the pipe stands, keeping its first bytes.
size_t PipeInputFile::readOn(char* buffer, size_t size) const {
  size_t count = readSome(buffer, size);
  if (position_ < kKeptBytes)
    kept_.append(buffer, std::min(count, kKeptBytes - static_cast<size_t>(position_)));
  position_ += count;
  return count;
}
