#include "system/posix/output_writes_posix.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
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

// Writes first and then second to fd, going on after a partial write: with
// write() when second is empty, else with writev(). Returns the bytes that
// went out: all of them, or fewer with error set to the failed write's errno.
size_t writeOut(int fd, std::string_view first, std::string_view second, int& error) {
  iovec parts[2] = {{const_cast<char*>(first.data()), first.size()},
                    {const_cast<char*>(second.data()), second.size()}};
  iovec* part = parts;
  int left = second.empty() ? 1 : 2;
  size_t done = 0;
  error = 0;
  while (left > 0) {
    if (part->iov_len == 0) {
      ++part;
      --left;
      continue;
    }
    ssize_t written =
        left == 1 ? ::write(fd, part->iov_base, part->iov_len) : ::writev(fd, part, left);
    if (written < 0) {
      if (errno == EINTR)
        continue;
      error = errno;
      return done;
    }
    size_t wrote = static_cast<size_t>(written);
    done += wrote;
    while (left > 0 && wrote >= part->iov_len) {
      wrote -= part->iov_len;
      ++part;
      --left;
    }
    if (left > 0) {
      part->iov_base = static_cast<char*>(part->iov_base) + wrote;
      part->iov_len -= wrote;
    }
  }
  return done;
}

// The whole lines among the first done bytes of a write that failed: those
// of its first part, up to their last newline. Its second part, a line's
// ending, has a newline only as its last byte, which a failed write has not
// written.
size_t wholeLines(std::string_view first, size_t done) {
  size_t end = first.substr(0, done).rfind('\n');
  return end == std::string_view::npos ? 0 : end + 1;
}

// Cuts the regular file fd, whose failed write left it at offset at, back to
// end: only where that write was at the file's end (a file written in its
// middle has bytes of its own beyond). The descriptor is set at the new end,
// where a later write through it (the shell's next command) goes on. A file
// that cannot be cut stays as it is: the run fails with the write's error.
void cutBack(int fd, off_t at, off_t end) {
  struct stat info;
  if (end >= at || ::fstat(fd, &info) != 0 || info.st_size != at)
    return;
  if (::ftruncate(fd, end) == 0)
    ::lseek(fd, end, SEEK_SET);
}

}  // namespace

void writeNow(int fd, const std::string& name, std::string_view first, std::string_view second) {
  char joined[kJoinedLine];
  if (first.size() + second.size() <= sizeof joined) {
    std::copy(second.begin(), second.end(), std::copy(first.begin(), first.end(), joined));
    first = std::string_view(joined, first.size() + second.size());
    second = {};
  }
  int error = 0;
  writeOut(fd, first, second, error);
  if (error != 0)
    failWithErrno(name, error);
}

void writeLines(int fd, const std::string& name, std::string_view first, std::string_view second,
                uint64_t floor) {
  int error = 0;
  size_t done = writeOut(fd, first, second, error);
  if (error == 0)
    return;
  // Every write before this one ended in whole lines.
  off_t at = ::lseek(fd, 0, SEEK_CUR);
  if (at >= 0) {
    off_t end = at - static_cast<off_t>(done - wholeLines(first, done));
    cutBack(fd, at, std::max(end, static_cast<off_t>(floor)));
  }
  failWithErrno(name, error);
}

void BlockWriter::write(int fd, const std::string& name, std::string_view first,
                        std::string_view second) {
  size_t size = first.size() + second.size();
  if (block_.size() + size > kBlock || size >= kBlock / 4)
    flush(fd, name);
  if (size >= kBlock / 4)  // large enough to go out without a copy
    return writeLines(fd, name, first, second, floor_);
  if (block_.capacity() < kBlock)
    block_.reserve(kBlock);
  block_.insert(block_.end(), first.begin(), first.end());
  block_.insert(block_.end(), second.begin(), second.end());
}

void BlockWriter::flush(int fd, const std::string& name) {
  writeLines(fd, name, std::string_view(block_.data(), block_.size()), {}, floor_);
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

// The file copied is the cut, whole lines, read in blocks that end anywhere:
// the copy's last line end is counted across them.
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
  off_t copied = 0;   // bytes written
  off_t lineEnd = 0;  // where the last whole line written ends
  int error = 0;
  while (error == 0) {
    ssize_t got = ::read(in, block.data(), block.size());
    if (got < 0 && errno == EINTR)
      continue;
    if (got <= 0) {
      error = got < 0 ? errno : 0;
      break;
    }
    std::string_view bytes(block.data(), static_cast<size_t>(got));
    size_t done = writeOut(out, bytes, {}, error);
    if (size_t whole = wholeLines(bytes, done); whole > 0)
      lineEnd = copied + static_cast<off_t>(whole);
    copied += static_cast<off_t>(done);
  }
  if (error != 0)
    cutBack(out, copied, lineEnd);
  ::close(in);
  if (::close(out) != 0 && error == 0)
    error = errno;
  if (error != 0)
    failWithErrno(name, error);
}
