// InputFile on POSIX systems: Linux, macOS and the BSDs.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "system/failure.h"
#include "system/input_file.h"
#include "system/pipe_input_file.h"

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

// A descriptor closed when it goes out of scope, unless released.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0)
      ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;

  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

int openOrFail(const std::string& path, int flags) {
  for (;;) {
    int fd = ::open(path.c_str(), flags | O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd >= 0)
      return fd;
    if (errno != EINTR)
      failWithErrno(path, errno);
  }
}

struct stat statOrFail(int fd, const std::string& path) {
  struct stat info;
  if (::fstat(fd, &info) != 0)
    failWithErrno(path, errno);
  return info;
}

// Makes a read, again when a signal interrupted it; throws a Failure naming
// path on any other error.
template <typename Read>
size_t readOrFail(const std::string& path, Read read) {
  for (;;) {
    ssize_t got = read();
    if (got >= 0)
      return static_cast<size_t>(got);
    if (errno != EINTR)
      failWithErrno(path, errno);
  }
}

class PosixInputFile final : public InputFile {
 public:
  PosixInputFile(const std::string& path, int fd) : InputFile(path), fd_(fd) {
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
    return stampOf(statOrFail(fd_, path()));
  }

  size_t readAt(uint64_t offset, char* buffer, size_t size) const override {
    return readOrFail(path(),
                      [&] { return ::pread(fd_, buffer, size, static_cast<off_t>(offset)); });
  }

 private:
  int fd_ = -1;
};

class PosixPipe final : public PipeInputFile {
 public:
  PosixPipe(const std::string& path, int fd, const FileStamp& stamp)
      : PipeInputFile(path, stamp), fd_(fd) {}

  ~PosixPipe() override { ::close(fd_); }

 protected:
  size_t readSome(char* buffer, size_t size) const override {
    return readOrFail(path(), [&] { return ::read(fd_, buffer, size); });
  }

 private:
  int fd_ = -1;
};

}  // namespace

std::unique_ptr<InputFile> openInputFile(const std::string& path, Readable readable) {
  // Opened without waiting, so that a FIFO nobody writes to is refused at
  // once where pipes are not taken.
  Descriptor file(openOrFail(path, O_NONBLOCK));
  struct stat info = statOrFail(file.get(), path);
  if (S_ISREG(info.st_mode))
    return std::make_unique<PosixInputFile>(path, file.release());
  if (S_ISDIR(info.st_mode))
    failWithErrno(path, EISDIR);
  if (!S_ISFIFO(info.st_mode) || readable != Readable::kFileOrPipe)
    throw Failure(path, readable == Readable::kRegularFile ? kLogNotRegular : kNeitherFileNorPipe);
  // Read without waiting, a FIFO would end before its writer began. Opened
  // again to be read, it waits for one; the first descriptor, open until
  // then, keeps for the second whatever a writer has written meanwhile.
  Descriptor pipe(openOrFail(path, 0));
  if (!S_ISFIFO(statOrFail(pipe.get(), path).st_mode))
    throw Failure(path, "replaced while it was opened");
  // Where /dev/fd/N gives the same open file again (macOS, the BSDs), the
  // first open may have made it non-blocking: reads must wait.
  int flags = ::fcntl(pipe.get(), F_GETFL);
  if (flags >= 0 && (flags & O_NONBLOCK) != 0)
    ::fcntl(pipe.get(), F_SETFL, flags & ~O_NONBLOCK);
#if defined(F_SETPIPE_SZ)
  // A pipe of a MiB rather than Linux's 64 KiB: fewer switches between the
  // writer and the checker (the benchmark's piped check took 1.2 times `cat |
  // wc -l` instead of 1.4 to 1.6). Only advice: where the system refuses
  // it, the pipe stays as it was.
  ::fcntl(pipe.get(), F_SETPIPE_SZ, 1 << 20);
#endif
  return std::make_unique<PosixPipe>(path, pipe.release(), stampOf(info));
}
