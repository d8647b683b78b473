// OutputFile on POSIX systems: Linux, macOS and the BSDs.

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "failure.h"
#include "output_file.h"

namespace {

class PosixOutputFile final : public OutputFile {
 public:
  // Standard output.
  PosixOutputFile() : OutputFile(kStandardOutputName), fd_(STDOUT_FILENO) {}

  explicit PosixOutputFile(const std::string& path) : OutputFile(path), named_(true) {
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd_ < 0)
      failWithErrno(name(), errno);
  }

  ~PosixOutputFile() override {
    if (fd_ >= 0)
      ::close(fd_);
  }

  void refuseToOverwrite(const FileStamp& input) const override {
    struct stat info;
    if (::fstat(fd_, &info) != 0)
      failWithErrno(name(), errno);
    FileStamp output;
    output.volume = static_cast<uint64_t>(info.st_dev);
    output.fileId = static_cast<uint64_t>(info.st_ino);
    if (output.sameFileAs(input))
      throw Failure(name(), "is the input log itself");
  }

  void truncate() override {
    if (!named_)
      return;
    struct stat info;
    if (::fstat(fd_, &info) != 0)
      failWithErrno(name(), errno);
    if (S_ISREG(info.st_mode) && ::ftruncate(fd_, 0) != 0)
      failWithErrno(name(), errno);
  }

  void close() override {
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0)
      failWithErrno(name(), errno);
  }

 protected:
  void write(std::string_view first, std::string_view second) override;

 private:
  static constexpr size_t kJoinedLine = 1024;

  void writeBytes(const char* bytes, size_t size);

  int fd_ = -1;
  bool named_ = false;  // a path of the user's, not standard output
};

// A line that fits a small buffer is joined there and written with write(),
// which the system handles a tenth faster than writev(): that is most lines,
// and a log of millions of lines outside the cut results costs one call for
// each of them. A longer line goes out with writev().
void PosixOutputFile::write(std::string_view first, std::string_view second) {
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
      failWithErrno(name(), errno);
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

void PosixOutputFile::writeBytes(const char* bytes, size_t size) {
  while (size > 0) {
    ssize_t written = ::write(fd_, bytes, size);
    if (written < 0) {
      if (errno == EINTR)
        continue;
      failWithErrno(name(), errno);
    }
    bytes += written;
    size -= static_cast<size_t>(written);
  }
}

}  // namespace

std::unique_ptr<OutputFile> openOutputFile(const std::string& path) {
  if (path.empty())
    return std::make_unique<PosixOutputFile>();
  return std::make_unique<PosixOutputFile>(path);
}
