#include "input_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "failure.h"

bool FileStamp::sameFileAs(const FileStamp& other) const {
  return device == other.device && inode == other.inode;
}

bool FileStamp::sameContentAs(const FileStamp& other) const {
  return sameFileAs(other) && size == other.size && modified.tv_sec == other.modified.tv_sec &&
         modified.tv_nsec == other.modified.tv_nsec;
}

FileStamp stampOf(const struct stat& info) {
  FileStamp stamp;
  stamp.device = info.st_dev;
  stamp.inode = info.st_ino;
  stamp.size = static_cast<uint64_t>(info.st_size);
  stamp.modified = info.st_mtim;
  return stamp;
}

InputFile::InputFile(const std::string& path, const char* notRegular) : path_(path) {
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd_ < 0)
    failWithErrno(path_, errno);
  struct stat info;
  if (::fstat(fd_, &info) != 0) {
    int saved = errno;
    ::close(fd_);
    failWithErrno(path_, saved);
  }
  if (!S_ISREG(info.st_mode)) {
    ::close(fd_);
    if (S_ISDIR(info.st_mode))
      failWithErrno(path_, EISDIR);
    throw Failure(path_, notRegular);
  }
  // Lets the system read further ahead than it dares for a file it knows
  // nothing about. Only advice: a system that ignores it reads the log all
  // the same.
  ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
}

InputFile::~InputFile() {
  ::close(fd_);
}

FileStamp InputFile::stamp() const {
  struct stat info;
  if (::fstat(fd_, &info) != 0)
    failWithErrno(path_, errno);
  return stampOf(info);
}

size_t InputFile::readAt(uint64_t offset, char* buffer, size_t size) const {
  for (;;) {
    ssize_t got = ::pread(fd_, buffer, size, static_cast<off_t>(offset));
    if (got >= 0)
      return static_cast<size_t>(got);
    if (errno != EINTR)
      failWithErrno(path_, errno);
  }
}

void reserveStandardDescriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) == -1)
      ::open("/dev/null", O_RDONLY);
  }
}
