#include "output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>

#include "failure.h"

namespace {

const char kRowPrefix[] = " [row: ";
const char kMarkerPrefix[] = "\n----------- deleted ";
const char kMarkerSuffix[] = " rows -----------\n\n";

// Appends number in plain decimal to out; returns the end of what it wrote.
char* appendNumber(char* out, uint64_t number) {
  return std::to_chars(out, out + 20, number).ptr;
}

}  // namespace

OutputFile::OutputFile(const std::string& path) {
  if (path.empty()) {
    name_ = "standard output";
    fd_ = STDOUT_FILENO;
    return;
  }
  name_ = path;
  named_ = true;
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666);
  if (fd_ < 0)
    failWithErrno(name_, errno);
}

OutputFile::~OutputFile() {
  if (fd_ >= 0)
    ::close(fd_);
}

void OutputFile::refuseToOverwrite(const FileStamp& input) const {
  struct stat info;
  if (::fstat(fd_, &info) != 0)
    failWithErrno(name_, errno);
  if (stampOf(info).sameFileAs(input))
    throw Failure(name_, "is the input log itself");
}

void OutputFile::truncate() {
  if (!named_)
    return;
  struct stat info;
  if (::fstat(fd_, &info) != 0)
    failWithErrno(name_, errno);
  if (S_ISREG(info.st_mode) && ::ftruncate(fd_, 0) != 0)
    failWithErrno(name_, errno);
}

void OutputFile::writeLine(std::string_view line) {
  writeAll(line, "\n");
}

void OutputFile::writeNumberedRow(std::string_view row, uint64_t rowNumber) {
  char suffix[sizeof kRowPrefix + 24];
  char* end = std::copy(kRowPrefix, kRowPrefix + sizeof kRowPrefix - 1, suffix);
  end = appendNumber(end, rowNumber);
  *end++ = ']';
  *end++ = '\n';
  writeAll(row, std::string_view(suffix, static_cast<size_t>(end - suffix)));
}

void OutputFile::writeDeletionMarker(uint64_t deletedRows) {
  char marker[sizeof kMarkerPrefix + sizeof kMarkerSuffix + 24];
  char* end = std::copy(kMarkerPrefix, kMarkerPrefix + sizeof kMarkerPrefix - 1, marker);
  end = appendNumber(end, deletedRows);
  end = std::copy(kMarkerSuffix, kMarkerSuffix + sizeof kMarkerSuffix - 1, end);
  writeAll(std::string_view(marker, static_cast<size_t>(end - marker)), {});
}

// Writes first and then second with one system call (normally), going on
// after a partial write. A line that fits a small buffer is joined there and
// written with write(), which the system handles a tenth faster than writev():
// that is most lines, and a log of millions of lines outside the cut results
// costs one call for each of them.
void OutputFile::writeAll(std::string_view first, std::string_view second) {
  char joined[kJoinedLine];
  if (first.size() + second.size() <= sizeof joined) {
    std::copy(second.begin(), second.end(), std::copy(first.begin(), first.end(), joined));
    writeBytes(joined, first.size() + second.size());
    return;
  }
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
    ssize_t written = ::writev(fd_, part, left);
    if (written < 0) {
      if (errno == EINTR)
        continue;
      failWithErrno(name_, errno);
    }
    size_t done = static_cast<size_t>(written);
    bytesWritten_ += done;
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

void OutputFile::writeBytes(const char* bytes, size_t size) {
  while (size > 0) {
    ssize_t written = ::write(fd_, bytes, size);
    if (written < 0) {
      if (errno == EINTR)
        continue;
      failWithErrno(name_, errno);
    }
    bytesWritten_ += static_cast<uint64_t>(written);
    bytes += written;
    size -= static_cast<size_t>(written);
  }
}

void OutputFile::close() {
  int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0)
    failWithErrno(name_, errno);
}
