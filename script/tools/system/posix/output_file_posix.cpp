// OutputFile on POSIX systems: Linux, macOS and the BSDs.
//
// A replacement's temporary file is made exclusively beside the file it
// replaces, so that rename() can put it in place in one step: a reader of
// the output path opens either the previous file or the complete cut. It
// is not synced to the disk before the rename: the promise is about runs
// that fail or are interrupted, which the rename keeps without a sync, and
// a sync would make every run wait for the disk (a copied log is written
// as fast as cp writes it, which does not sync either). After a system
// crash, ext4 (which by default writes a file's data before a rename that
// replaces another) still holds one or the other; elsewhere the cut can
// always be made again from the log, which is never modified.
//
// A path that names an open descriptor (/dev/stdout, /dev/fd/N, however
// spelt: descriptor_path_posix.h) is not opened afresh, which would empty or
// replace the file behind it (or fail, for a pipe on Linux): the descriptor
// is written, as standard output is.
//
// Here the output's kind is chosen and the replacement made; the outputs
// written where they stand are direct_output_posix.h's, the writes
// output_writes_posix.h's, and what a replacement keeps of the previous file
// file_attributes.h's.

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <optional>

#include "system/failure.h"
#include "system/file_attributes.h"
#include "system/interruption.h"
#include "system/output_file.h"
#include "system/posix/descriptor_path_posix.h"
#include "system/posix/direct_output_posix.h"
#include "system/posix/interruption_posix.h"
#include "system/posix/output_writes_posix.h"

namespace {

// The longest file name most file systems take (NAME_MAX), and what the
// temporary file's name adds to the output's: a dot, the mark and six
// letters or digits.
constexpr size_t kLongestName = 255;
constexpr char kTemporaryMark[] = ".streamtrim-";
constexpr size_t kUniqueLetters = 6;
constexpr size_t kTemporaryExtra = 1 + sizeof kTemporaryMark - 1 + kUniqueLetters;
// Names tried before the directory is taken to refuse new files for another
// reason than a name in use.
constexpr int kNamesTried = 100;

// The output's permission bits, owner and group, which its replacement
// takes from the previous file; a new one has none to take.
struct Ownership {
  mode_t mode = 0;
  std::optional<uid_t> owner;
  std::optional<gid_t> group;
};

// Six letters or digits, different for every process and every try: the
// process ID, the clock and the try, mixed. A name in use is tried again,
// so they need not be unguessable.
std::string uniqueLetters(int attempt) {
  timespec now = {};
  ::clock_gettime(CLOCK_REALTIME, &now);
  uint64_t mixed = (static_cast<uint64_t>(::getpid()) << 32) ^ static_cast<uint64_t>(now.tv_nsec) ^
                   static_cast<uint64_t>(now.tv_sec) ^ static_cast<uint64_t>(attempt);
  constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::string letters;
  for (size_t i = 0; i < kUniqueLetters; ++i) {
    mixed = mixed * 0x9e3779b97f4a7c15u + i;
    letters += kLetters[(mixed >> 40) % (sizeof kLetters - 1)];
  }
  return letters;
}

// Creates the temporary file beside target: in target's directory, its name
// a dot (as hidden files' start) and target's name, cut where the whole
// would be longer than a file system takes. A new output's is created as
// the shell's > creates a file (0666, less the umask or as the directory's
// default ACL says), which it keeps; one that replaces a file is created
// for its owner alone, until it takes that file's attributes. The signals
// that remove it are held off until it is registered for removal. Returns
// its descriptor, or -1 with error set.
int createTemporaryBeside(const std::string& target, bool replacing, std::string& temporary,
                          std::optional<RemovedOnInterruption>& removal, int& error) {
  size_t slash = target.rfind('/');
  size_t start = slash == std::string::npos ? 0 : slash + 1;
  std::string prefix = target.substr(0, start) + "." +
                       target.substr(start, kLongestName - kTemporaryExtra) + kTemporaryMark;
  InterruptionsHeld held;
  for (int attempt = 0; attempt < kNamesTried; ++attempt) {
    std::string candidate = prefix + uniqueLetters(attempt);
    int fd = ::open(candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY,
                    replacing ? 0600 : 0666);
    if (fd >= 0) {
      temporary = candidate;
      removal.emplace(temporary);
      return fd;
    }
    error = errno;
    if (error != EEXIST)
      return -1;
  }
  return -1;
}

// An existing output's replacement keeps what file_attributes.h says;
// a new one has what it was created with. Returns the note on what was not
// kept.
std::string takeOwnership(const Ownership& ownership, const std::string& target, int fd,
                          const std::string& name) {
  if (!ownership.owner)
    return "";
  return keepAttributes({target, *ownership.owner, *ownership.group, ownership.mode}, fd, name);
}

// Throws when target, the file a replacement would replace, is input.
void refuseIfSameFile(const std::string& target, const FileStamp& input, const std::string& name) {
  struct stat info;
  if (::stat(target.c_str(), &info) == 0)
    refuseIfSame(info, input, name);
  else if (errno != ENOENT)
    failWithErrno(name, errno);
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
    if (!temporary_.empty() && !placed_)
      ::unlink(temporary_.c_str());
  }

  int creationError() const { return creationError_; }

  OutputKind kind() const override { return kind_; }

  void refuseToOverwrite(const FileStamp& input) const override {
    refuseIfSameFile(target_, input, name());
  }

  void begin() override {}

  void close() override;

 protected:
  void write(std::string_view first, std::string_view second) override;

 private:
  void copyOverTarget(int renameError);

  std::string target_;     // the file replaced: the path with its links followed
  std::string temporary_;  // the temporary file's path
  std::optional<RemovedOnInterruption> removal_;
  Ownership ownership_;
  int fd_ = -1;
  int creationError_ = 0;  // errno of a failed creation
  bool placed_ = false;    // renamed or copied over the target
  OutputKind kind_ = OutputKind::kFile;
  BlockWriter blocks_;
};

ReplacingOutputFile::ReplacingOutputFile(const std::string& path, std::string target,
                                         Ownership ownership)
    : OutputFile(path), target_(std::move(target)), ownership_(ownership) {
  fd_ = createTemporaryBeside(target_, ownership_.owner.has_value(), temporary_, removal_,
                              creationError_);
}

void ReplacingOutputFile::write(std::string_view first, std::string_view second) {
  blocks_.write(fd_, name(), first, second);
}

void ReplacingOutputFile::close() {
  blocks_.flush(fd_, name());
  std::string notKept = takeOwnership(ownership_, target_, fd_, name());
  int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0)
    failWithErrno(name(), errno);
  bool renamed = ::rename(temporary_.c_str(), target_.c_str()) == 0;
  if (!renamed)
    copyOverTarget(errno);
  placed_ = true;
  removal_.reset();
  // A file copied over keeps its own attributes: only a renamed one can
  // have lost some.
  if (renamed && !notKept.empty())
    note(notKept);
}

// Whether a failed rename over the target means that the system keeps that
// name from being replaced, while the file may still be written: another
// user's file in a sticky directory (EPERM), a file mounted on its own
// (EBUSY), or a target on another mount than its directory (EXDEV, where mv
// copies too). Any other failure is the file system's, and stays one.
bool renameRefusedForTheFile(int error) {
  return error == EPERM || error == EBUSY || error == EXDEV;
}

// The complete temporary file is copied over the target, locked for the
// copy, then removed. A target that does not exist (any more) has no file to
// be written in place.
void ReplacingOutputFile::copyOverTarget(int renameError) {
  struct stat info;
  if (!renameRefusedForTheFile(renameError) || ::stat(target_.c_str(), &info) != 0)
    failWithErrno(name(), renameError);
  int out = openLockedInPlace(target_, name());
  kind_ = OutputKind::kFileRefusingRename;
  note(inPlaceNote(name(), std::string(way().note) + " (" + std::strerror(renameError) + ")"));
  copyFileOver(temporary_, out, name());
  ::unlink(temporary_.c_str());
}

// The directory that holds the file at path.
std::string folderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos)
    return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
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
  std::string target;
  if (int error = followLinks(path, target, info, exists))
    failWithErrno(path, error);
  if (std::optional<int> fd = namedDescriptor(target))
    return std::make_unique<DirectOutputFile>(path, *fd);
  if (exists && !S_ISREG(info.st_mode))
    return std::make_unique<DirectOutputFile>(path);
  if (exists)
    requireWritable(path, target);
  if (folderIsAppendOnly(folderOf(target)))
    return std::make_unique<DirectOutputFile>(path, OutputKind::kFileInAppendOnlyFolder);
  Ownership ownership =
      exists ? Ownership{static_cast<mode_t>(info.st_mode & 07777), info.st_uid, info.st_gid}
             : Ownership{};
  auto replacing = std::make_unique<ReplacingOutputFile>(path, target, ownership);
  int error = replacing->creationError();
  if (error == 0)
    return replacing;
  if (!directoryRefusesNewFiles(error))
    failWithErrno(path, error);
  return std::make_unique<DirectOutputFile>(path);
}

void refuseUnopenedDescriptor(const std::string& path) {
  struct stat info;
  bool exists = false;
  std::string target;
  if (path.empty() || followLinks(path, target, info, exists) != 0)
    return;  // openOutputFile() reports what stops it
  std::optional<int> fd = namedDescriptor(target);
  if (fd && ::fcntl(*fd, F_GETFD) == -1)
    failWithErrno(path, errno);
}

// The path's errors are the output pass's to report, as before.
std::unique_ptr<InputFile> openExistingOutput(const std::string& path) {
  if (path.empty())
    return nullptr;
  try {
    struct stat info;
    bool exists = false;
    std::string target;
    if (followLinks(path, target, info, exists) != 0 || !exists || namedDescriptor(target) ||
        !S_ISREG(info.st_mode))
      return nullptr;
    return openInputFile(path);
  } catch (const Failure&) {
    return nullptr;
  }
}
