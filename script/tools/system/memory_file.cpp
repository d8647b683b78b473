#include "system/memory_file.h"

#include <algorithm>
#include <atomic>

namespace {

uint64_t newFileId() {
  static std::atomic<uint64_t> last{0};
  return ++last;
}

}  // namespace

MemoryInputFile::MemoryInputFile(std::string name, std::string_view bytes)
    : InputFile(std::move(name)), bytes_(bytes), id_(newFileId()) {}

FileStamp MemoryInputFile::stamp() const {
  FileStamp stamp;
  stamp.fileId = id_;
  stamp.size = bytes_.size();
  return stamp;
}

size_t MemoryInputFile::readAt(uint64_t offset, char* buffer, size_t size) const {
  if (offset >= bytes_.size())
    return 0;
  size_t count = std::min<uint64_t>(size, bytes_.size() - offset);
  std::copy_n(bytes_.data() + offset, count, buffer);
  return count;
}

void MemoryOutputFile::write(std::string_view first, std::string_view second) {
  bytes_.append(first);
  bytes_.append(second);
}
