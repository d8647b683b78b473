#include "page_cache.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

[[noreturn]] void die(const std::string& path) {
  std::fprintf(stderr, "trim_benchmark: %s: %s\n", path.c_str(), std::strerror(errno));
  std::exit(1);
}

}  // namespace

void evictFromPageCache(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0)
    die(path);
  // Dirty pages would stay cached: a freshly written log must reach the disk first.
  ::fdatasync(fd);
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
  ::close(fd);
}

double cachedFraction(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY);
  struct stat info {};
  if (fd < 0 || ::fstat(fd, &info) != 0)
    die(path);
  size_t size = static_cast<size_t>(info.st_size);
  if (size == 0) {
    ::close(fd);
    return 0;
  }
  void* map = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
  ::close(fd);
  if (map == MAP_FAILED)
    die(path);
  size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
  std::vector<unsigned char> resident((size + page - 1) / page);
  if (::mincore(map, size, resident.data()) != 0)
    die(path);
  ::munmap(map, size);
  size_t cached = 0;
  for (unsigned char pageState : resident)
    cached += pageState & 1;
  return static_cast<double>(cached) / static_cast<double>(resident.size());
}
