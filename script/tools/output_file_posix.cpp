// OutputFile on POSIX systems: Linux, macOS and the BSDs.
//
// A replacement's temporary file is made by mkstemp() beside the file it
// replaces, so that rename() can put it in place in one step: a reader of
// the output path opens either the previous file or the complete cut. It
// is not synced to the disk before the rename: the promise is about runs
// that fail or are interrupted, which the rename keeps without a sync, and
// a sync would make every run wait for the disk (a copied log is written
// as fast as cp writes it, which does not sync either). After a system
// crash, ext4 (which by default writes a file's data before a rename that
// replaces another) still holds one or the other; elsewhere the cut can
// always be made again from the log, which is never modified.

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <vector>

#include "failure.h"
#include "file_attributes.h"
#include "interruption.h"
#include "interruption_posix.h"
#include "output_file.h"

namespace {

// The size of the blocks a replacement is written in.
constexpr size_t kBlock = size_t{1} << 20;

// A line up to this size is joined in a buffer and written with write(),
// which the system handles a tenth faster than writev(): that is most lines,
// and a log of millions of lines outside the cut results costs one call for
// each of them. A longer line goes out with writev().
constexpr size_t kJoinedLine = 1024;

// Links followed before the path is taken for a loop, as the system does.
constexpr int kMostLinks = 40;

// The longest file name most file systems take (NAME_MAX), and what the
// temporary file's name adds to the output's.
constexpr size_t kLongestName = 255;
constexpr char kTemporarySuffix[] = ".streamtrim-XXXXXX";
constexpr size_t kTemporaryExtra = 1 + sizeof kTemporarySuffix - 1;

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

// Throws when the file described by info is the one input names.
void refuseIfSame(const struct stat& info, const FileStamp& input, const std::string& name) {
  FileStamp output;
  output.volume = static_cast<uint64_t>(info.st_dev);
  output.fileId = static_cast<uint64_t>(info.st_ino);
  if (output.sameFileAs(input))
    throw Failure(name, "is the input log itself");
}

// Standard output, or a named output written where it stands: a device, a
// pipe, a terminal, or a regular file whose directory takes no new file.
// Each line goes out with one system call.
class DirectOutputFile final : public OutputFile {
 public:
  // Standard output.
  DirectOutputFile() : OutputFile(kStandardOutputName), fd_(STDOUT_FILENO) {}

  explicit DirectOutputFile(const std::string& path) : OutputFile(path), named_(true) {
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666);
    struct stat info;
    if (fd_ < 0 || ::fstat(fd_, &info) != 0)
      failWithErrno(name(), errno);
    regular_ = S_ISREG(info.st_mode);
  }

  ~DirectOutputFile() override {
    if (named_ && fd_ >= 0)
      ::close(fd_);
  }

  Method method() const override { return regular_ ? Method::kInPlace : Method::kLineByLine; }

  void refuseToOverwrite(const FileStamp& input) const override {
    struct stat info;
    if (::fstat(fd_, &info) != 0)
      failWithErrno(name(), errno);
    refuseIfSame(info, input, name());
  }

  void begin() override {
    if (regular_ && ::ftruncate(fd_, 0) != 0)
      failWithErrno(name(), errno);
  }

  void close() override {
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0)
      failWithErrno(name(), errno);
  }

 protected:
  void write(std::string_view first, std::string_view second) override {
    char joined[kJoinedLine];
    if (first.size() + second.size() > sizeof joined)
      return writeBoth(fd_, name(), first, second);
    std::copy(second.begin(), second.end(), std::copy(first.begin(), first.end(), joined));
    writeAll(fd_, name(), joined, first.size() + second.size());
  }

 private:
  int fd_ = -1;
  bool named_ = false;    // a path of the user's, not standard output
  bool regular_ = false;  // a regular file, emptied by begin()
};

// The output's permission bits, owner and group, which its replacement
// takes: those of the previous file, or, for a new one, what a created
// file gets (0666 less the umask) and the owner the system gives it.
struct Ownership {
  mode_t mode = 0;
  std::optional<uid_t> owner;
  std::optional<gid_t> group;
};

Ownership newFileOwnership() {
  mode_t mask = ::umask(0);
  ::umask(mask);
  return {static_cast<mode_t>(0666 & ~mask), std::nullopt, std::nullopt};
}

// A regular file, or a path still to be created, written to a temporary
// file beside it that close() renames over it.
class ReplacingOutputFile final : public OutputFile {
 public:
  // Creates the temporary file; creationError() tells why it could not be.
  ReplacingOutputFile(const std::string& path, std::string target, Ownership ownership);

  ~ReplacingOutputFile() override {
    if (fd_ >= 0)
      ::close(fd_);
    if (!temporary_.empty() && !renamed_)
      ::unlink(temporary_.c_str());
  }

  int creationError() const { return creationError_; }

  Method method() const override { return Method::kReplace; }

  void refuseToOverwrite(const FileStamp& input) const override {
    struct stat info;
    if (::stat(target_.c_str(), &info) == 0)
      refuseIfSame(info, input, name());
    else if (errno != ENOENT)
      failWithErrno(name(), errno);
  }

  void begin() override {}

  void close() override;

 protected:
  void write(std::string_view first, std::string_view second) override;

 private:
  void flush();
  std::string takeOwnership();

  std::string target_;     // the file replaced: the path with its links followed
  std::string temporary_;  // the temporary file's path
  std::optional<RemovedOnInterruption> removal_;
  Ownership ownership_;
  int fd_ = -1;
  int creationError_ = 0;  // errno of a failed creation
  bool renamed_ = false;
  std::vector<char> block_;  // bytes not yet written
};

// The template's directory is the target's, and its name starts with a dot
// (as hidden files' do) and the target's name, cut where the whole would
// be longer than a file system takes. The signals that remove it are held
// off until it is registered for removal.
ReplacingOutputFile::ReplacingOutputFile(const std::string& path, std::string target,
                                         Ownership ownership)
    : OutputFile(path), target_(std::move(target)), ownership_(ownership) {
  size_t slash = target_.rfind('/');
  size_t start = slash == std::string::npos ? 0 : slash + 1;
  std::string base = target_.substr(start, kLongestName - kTemporaryExtra);
  std::string pattern = target_.substr(0, start) + "." + base + kTemporarySuffix;

  {
    InterruptionsHeld held;
    fd_ = ::mkstemp(pattern.data());
    if (fd_ >= 0) {
      temporary_ = pattern;
      removal_.emplace(temporary_);
    } else {
      creationError_ = errno;
    }
  }
  if (fd_ >= 0)
    ::fcntl(fd_, F_SETFD, FD_CLOEXEC);
  block_.reserve(kBlock);
}

void ReplacingOutputFile::write(std::string_view first, std::string_view second) {
  size_t size = first.size() + second.size();
  if (block_.size() + size > kBlock || size >= kBlock / 4)
    flush();
  if (size >= kBlock / 4)  // large enough to go out without a copy
    return writeBoth(fd_, name(), first, second);
  block_.insert(block_.end(), first.begin(), first.end());
  block_.insert(block_.end(), second.begin(), second.end());
}

void ReplacingOutputFile::flush() {
  writeAll(fd_, name(), block_.data(), block_.size());
  block_.clear();
}

// A new output gets the mode a created file gets; an existing one keeps
// what file_attributes.h says. Returns the note on what was not kept.
std::string ReplacingOutputFile::takeOwnership() {
  if (ownership_.owner)
    return keepAttributes({target_, *ownership_.owner, *ownership_.group, ownership_.mode}, fd_,
                          name());
  if (::fchmod(fd_, ownership_.mode) != 0)
    failWithErrno(name(), errno);
  return "";
}

void ReplacingOutputFile::close() {
  flush();
  std::string notKept = takeOwnership();
  int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0)
    failWithErrno(name(), errno);
  if (::rename(temporary_.c_str(), target_.c_str()) != 0)
    failWithErrno(name(), errno);
  renamed_ = true;
  removal_.reset();
  if (!notKept.empty())
    addNote(notKept);
}

// The path with every symbolic link on its end followed: the file a write
// through the path would reach, which may not exist yet. info is filled
// when it does.
std::string followLinks(const std::string& path, struct stat& info, bool& exists) {
  std::string target = path;
  for (int links = 0; links <= kMostLinks; ++links) {
    if (::lstat(target.c_str(), &info) != 0) {
      if (errno != ENOENT)
        failWithErrno(path, errno);
      exists = false;
      return target;
    }
    if (!S_ISLNK(info.st_mode)) {
      exists = true;
      return target;
    }
    std::string link(static_cast<size_t>(info.st_size > 0 ? info.st_size : 4096) + 1, '\0');
    ssize_t size = ::readlink(target.c_str(), link.data(), link.size());
    if (size < 0)
      failWithErrno(path, errno);
    link.resize(static_cast<size_t>(size));
    size_t slash = target.rfind('/');
    if (link.front() == '/' || slash == std::string::npos)
      target = link;
    else
      target = target.substr(0, slash + 1) + link;
  }
  failWithErrno(path, ELOOP);
}

// Whether a failure to create a file in a directory means that it takes no
// new file, when an existing one may still be written.
bool directoryRefusesNewFiles(int error) {
  return error == EACCES || error == EPERM || error == EROFS;
}

// Throws unless the existing regular file target may be written. A file its
// owner made read-only is refused, as writing it in place would be, rather
// than replaced behind the owner's back because its directory allows it.
void requireWritable(const std::string& path, const std::string& target) {
  int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0)
    failWithErrno(path, errno);
  ::close(fd);
}

}  // namespace

std::unique_ptr<OutputFile> openOutputFile(const std::string& path) {
  if (path.empty())
    return std::make_unique<DirectOutputFile>();
  struct stat info;
  bool exists = false;
  std::string target = followLinks(path, info, exists);
  if (exists && !S_ISREG(info.st_mode))
    return std::make_unique<DirectOutputFile>(path);
  if (exists)
    requireWritable(path, target);
  Ownership ownership =
      exists ? Ownership{static_cast<mode_t>(info.st_mode & 07777), info.st_uid, info.st_gid}
             : newFileOwnership();
  auto replacing = std::make_unique<ReplacingOutputFile>(path, target, ownership);
  int error = replacing->creationError();
  if (error == 0)
    return replacing;
  if (!directoryRefusesNewFiles(error))
    failWithErrno(path, error);
  return std::make_unique<DirectOutputFile>(path);
}
