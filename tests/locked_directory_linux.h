// Directories in which no file can be made, or none renamed or removed, but
// whose files may be written, for the tests of outputs written in place.
// Linux only (the immutable and append-only flags).

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

// A directory given one of the flags chattr sets (FS_APPEND_FL: append-only,
// FS_NODUMP_FL) while it lives: only root may set append-only, on a file
// system that has the flags (ext4, not tmpfs).
class FlaggedDirectory {
 public:
  FlaggedDirectory(const std::string& path, int flag) : fd_(::open(path.c_str(), O_RDONLY)) {
    if (::ioctl(fd_, FS_IOC_GETFLAGS, &flags_) != 0)
      return;
    int flagged = flags_ | flag;
    set_ = ::ioctl(fd_, FS_IOC_SETFLAGS, &flagged) == 0;
  }
  ~FlaggedDirectory() {
    if (set_)
      ::ioctl(fd_, FS_IOC_SETFLAGS, &flags_);
    ::close(fd_);
  }
  FlaggedDirectory(const FlaggedDirectory&) = delete;
  FlaggedDirectory& operator=(const FlaggedDirectory&) = delete;
  bool set() const { return set_; }

 private:
  int fd_;
  int flags_ = 0;
  bool set_ = false;
};

#endif  // STREAMTRIM_LOCKED_DIRECTORY_POSIX_H
