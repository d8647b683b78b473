#include "system/posix/direct_output_posix.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "system/failure.h"

namespace {

// Whether info is the null device's: a character device with /dev/null's
// device number, whatever the path or descriptor that reached it.
bool isNullDevice(const struct stat& info) {
  struct stat null;
  return S_ISCHR(info.st_mode) && ::stat("/dev/null", &null) == 0 && S_ISCHR(null.st_mode) &&
         null.st_rdev == info.st_rdev;
}

}  // namespace

void refuseIfSame(const struct stat& info, const FileStamp& input, const std::string& name) {
  FileStamp output;
  output.volume = static_cast<uint64_t>(info.st_dev);
  output.fileId = static_cast<uint64_t>(info.st_ino);
  if (output.sameFileAs(input))
    throw Failure(name, "is the input log itself");
}

DirectOutputFile::DirectOutputFile() : OutputFile(kStandardOutputName), fd_(STDOUT_FILENO) {
  learnKind();
}

DirectOutputFile::DirectOutputFile(const std::string& path, OutputKind inPlace)
    : OutputFile(path), named_(true), inPlace_(inPlace) {
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666);
  if (fd_ < 0)
    failWithErrno(name(), errno);
  learnKind();
  if (way().method != Method::kInPlace)
    return;
  try {
    lockForTheRun(fd_, name());
  } catch (...) {
    ::close(fd_);
    throw;
  }
}

DirectOutputFile::DirectOutputFile(const std::string& path, int fd)
    : OutputFile(path), named_(true) {
  fd_ = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
  if (fd_ < 0)
    failWithErrno(name(), errno);
  descriptor_ = true;
  learnKind();
}

DirectOutputFile::~DirectOutputFile() {
  if (named_ && fd_ >= 0)
    ::close(fd_);
}

void DirectOutputFile::refuseToOverwrite(const FileStamp& input) const {
  struct stat info;
  if (::fstat(fd_, &info) != 0)
    failWithErrno(name(), errno);
  refuseIfSame(info, input, name());
}

void DirectOutputFile::begin() {
  if (way().method == Method::kInPlace && ::ftruncate(fd_, 0) != 0)
    failWithErrno(name(), errno);
}

void DirectOutputFile::close() {
  if (way().inBlocks)
    blocks_.flush(fd_, name());
  int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0)
    failWithErrno(name(), errno);
}

void DirectOutputFile::write(std::string_view first, std::string_view second) {
  if (way().inBlocks)
    return blocks_.write(fd_, name(), first, second);
  writeNow(fd_, name(), first, second);
}

// A regular file opened by its own name is written in place; one reached
// through a descriptor stands where the shell put it, and a failure never
// cuts what it held before the run.
void DirectOutputFile::learnKind() {
  struct stat info;
  if (::fstat(fd_, &info) != 0)
    failWithErrno(name(), errno);
  if (isNullDevice(info))
    kind_ = OutputKind::kDiscarding;
  else if (!S_ISREG(info.st_mode))
    kind_ = OutputKind::kStream;
  else if (named_ && !descriptor_)
    kind_ = inPlace_;
  else
    kind_ = OutputKind::kDescriptorOnFile;
  if (kind_ == OutputKind::kDescriptorOnFile)
    blocks_ = BlockWriter(static_cast<uint64_t>(info.st_size));
}
