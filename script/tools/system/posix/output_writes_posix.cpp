#include "system/posix/output_writes_posix.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "system/failure.h"

namespace {

// A line up to this size is joined in a buffer and written with write(),
// which the system handles a tenth faster than writev(): that is most lines,
// and a log of millions of lines outside the cut results costs one call for
// each of them on a stream. A longer line goes out with writev().
constexpr size_t kJoinedLine = 1024;

// Writes all of bytes to fd, going on after a partial write.
void writeAll(int fd, const std::string& name, const char* bytes, size_t size) {
  while (size > 0) {
    ssize_t written = ::write(fd, bytes, size);
    if (written < 0) {
      if (errno == EINTR)
        continue;
      failWithErrno(name, errno);
    }
    bytes += written;
    size -= static_cast<size_t>(written);
  }
}

// Writes first and then second to fd with writev(), going on after a
// partial write.
void writeBoth(int fd, const std::string& name, std::string_view first, std::string_view second) {
  iovec parts[2] = {{const_cast<char*>(first.data()), first.size()},
                    {const_cast<char*>(second.data()), second.size()}};
  iovec* part = parts;
  int left = 2;
  while (left > 0) {
    if (part->iov_len == 0) {
      ++part;
      --left;
      continue;
    }
    ssize_t written = ::writev(fd, part, left);
    if (written < 0) {
      if (errno == EINTR)
        continue;
      failWithErrno(name, errno);
    }
    size_t done = static_cast<size_t>(written);
    while (left > 0 && done >= part->iov_len) {
      done -= part->iov_len;
      ++part;
      --left;
    }
    if (left > 0) {
      part->iov_base = static_cast<char*>(part->iov_base) + done;
      part->iov_len -= done;
    }
  }
}

}  // namespace

void writeNow(int fd, const std::string& name, std::string_view first, std::string_view second) {
  char joined[kJoinedLine];
  if (first.size() + second.size() > sizeof joined)
    return writeBoth(fd, name, first, second);
  std::copy(second.begin(), second.end(), std::copy(first.begin(), first.end(), joined));
  writeAll(fd, name, joined, first.size() + second.size());
}

void BlockWriter::write(int fd, const std::string& name, std::string_view first,
                        std::string_view second) {
  size_t size = first.size() + second.size();
  if (block_.size() + size > kBlock || size >= kBlock / 4)
    flush(fd, name);
  if (size >= kBlock / 4)  // large enough to go out without a copy
    return writeBoth(fd, name, first, second);
  if (block_.capacity() < kBlock)
    block_.reserve(kBlock);
  block_.insert(block_.end(), first.begin(), first.end());
  block_.insert(block_.end(), second.begin(), second.end());
}

void BlockWriter::flush(int fd, const std::string& name) {
  writeAll(fd, name, block_.data(), block_.size());
  block_.clear();
}

void lockForTheRun(int fd, const std::string& name) {
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR)
      continue;
    if (errno == EWOULDBLOCK)
      throw Failure(name,
                    "another run is writing it in place (it is locked); try again once "
                    "that run has ended");
    failWithErrno(name, errno);
  }
}

int openLockedInPlace(const std::string& path, const std::string& name) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0)
    failWithErrno(name, errno);
  try {
    lockForTheRun(fd, name);
  } catch (...) {
    ::close(fd);
    throw;
  }
  return fd;
}

void copyFileOver(const std::string& from, int out, const std::string& name) {
  int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0 || ::ftruncate(out, 0) != 0) {
    int error = errno;
    if (in >= 0)
      ::close(in);
    ::close(out);
    failWithErrno(name, error);
  }
  std::vector<char> block(BlockWriter::kBlock);
  int error = 0;
  try {
    for (;;) {
      ssize_t got = ::read(in, block.data(), block.size());
      if (got < 0 && errno == EINTR)
        continue;
      if (got < 0)
        failWithErrno(name, errno);
      if (got == 0)
        break;
      writeAll(out, name, block.data(), static_cast<size_t>(got));
    }
  } catch (...) {
    ::close(in);
    ::close(out);
    throw;
  }
  ::close(in);
  if (::close(out) != 0)
    error = errno;
  if (error != 0)
    failWithErrno(name, error);
}
