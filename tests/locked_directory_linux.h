// A directory in which no file can be made but whose files may be written,
// for the tests of outputs written in place. Linux only (the immutable flag).

#ifndef STREAMTRIM_LOCKED_DIRECTORY_POSIX_H
#define STREAMTRIM_LOCKED_DIRECTORY_POSIX_H

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

// A directory in which no file can be made but whose files may be written:
// for root, whom permissions do not stop, one marked immutable.
class LockedDirectory {
 public:
  explicit LockedDirectory(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY)) {
    if (::geteuid() != 0) {
      locked_ = ::chmod(path.c_str(), 0555) == 0;
      return;
    }
    if (::ioctl(fd_, FS_IOC_GETFLAGS, &flags_) != 0)
      return;
    int immutable = flags_ | FS_IMMUTABLE_FL;
    locked_ = ::ioctl(fd_, FS_IOC_SETFLAGS, &immutable) == 0;
  }
  ~LockedDirectory() {
    if (locked_ && ::geteuid() == 0)
      ::ioctl(fd_, FS_IOC_SETFLAGS, &flags_);
    ::fchmod(fd_, 0755);
    ::close(fd_);
  }
  bool locked() const { return locked_; }

 private:
  int fd_;
  int flags_ = 0;
  bool locked_ = false;
};

#endif  // STREAMTRIM_LOCKED_DIRECTORY_POSIX_H
