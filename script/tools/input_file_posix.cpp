// InputFile on POSIX systems: Linux, macOS and the BSDs.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "failure.h"
#include "input_file.h"

namespace {

FileStamp stampOf(const struct stat& info) {
  FileStamp stamp;
  stamp.volume = static_cast<uint64_t>(info.st_dev);
  stamp.fileId = static_cast<uint64_t>(info.st_ino);
  stamp.size = static_cast<uint64_t>(info.st_size);
#if defined(STREAMTRIM_HAVE_ST_MTIM)
  stamp.modifiedSeconds = info.st_mtim.tv_sec;
  stamp.modifiedFraction = info.st_mtim.tv_nsec;
#elif defined(STREAMTRIM_HAVE_ST_MTIMESPEC)
  stamp.modifiedSeconds = info.st_mtimespec.tv_sec;
  stamp.modifiedFraction = info.st_mtimespec.tv_nsec;
#else
  stamp.modifiedSeconds = info.st_mtime;
#endif
  return stamp;
}

class PosixInputFile final : public InputFile {
 public:
  PosixInputFile(const std::string& path, const char* notRegular) : InputFile(path) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd_ < 0)
      failWithErrno(path, errno);
    struct stat info;
    if (::fstat(fd_, &info) != 0) {
      int saved = errno;
      ::close(fd_);
      failWithErrno(path, saved);
    }
    if (!S_ISREG(info.st_mode)) {
      ::close(fd_);
      if (S_ISDIR(info.st_mode))
        failWithErrno(path, EISDIR);
      throw Failure(path, notRegular);
    }
#if defined(STREAMTRIM_HAVE_POSIX_FADVISE)
    // Lets the system read further ahead than it dares for a file it knows
    // nothing about. Only advice: a system that ignores it, or has no such
    // call, reads the log all the same.
    ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
  }

  ~PosixInputFile() override {
    ::close(fd_);
  }

  FileStamp stamp() const override {
    struct stat info;
    if (::fstat(fd_, &info) != 0)
      failWithErrno(path(), errno);
    return stampOf(info);
  }

  size_t readAt(uint64_t offset, char* buffer, size_t size) const override {
    for (;;) {
      ssize_t got = ::pread(fd_, buffer, size, static_cast<off_t>(offset));
      if (got >= 0)
        return static_cast<size_t>(got);
      if (errno != EINTR)
        failWithErrno(path(), errno);
    }
  }

 private:
  int fd_ = -1;
};

}  // namespace

std::unique_ptr<InputFile> openInputFile(const std::string& path, const char* notRegular) {
  return std::make_unique<PosixInputFile>(path, notRegular);
}
