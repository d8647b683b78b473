#include "system/windows/direct_output_windows.h"

#include "system/failure.h"
#include "system/windows/file_identity_windows.h"
#include "system/windows/output_writes_windows.h"
#include "system/windows/system_error_windows.h"

namespace {

// The longest line joined into one buffer for one WriteFile call.
constexpr size_t kLargestJoined = size_t{1} << 20;

}  // namespace

void refuseIfSame(const FileStamp& stamp, const FileStamp& input, const std::string& name) {
  if (stamp.sameFileAs(input))
    throw Failure(name, "is the input log itself");
}

DirectOutputFile::DirectOutputFile()
    : OutputFile(kStandardOutputName), handle_(::GetStdHandle(STD_OUTPUT_HANDLE)) {}

DirectOutputFile::DirectOutputFile(const std::string& path) : OutputFile(path), named_(true) {
  std::wstring wide = widen(path);
  handle_ = ::CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle_ == INVALID_HANDLE_VALUE)
    failWithSystemError(name(), ::GetLastError());
}

DirectOutputFile::~DirectOutputFile() {
  if (named_ && handle_ != INVALID_HANDLE_VALUE)
    ::CloseHandle(handle_);
}

// A file on a disk opened by name is one whose directory took no new file;
// standard output on one stands where the shell put it.
OutputKind DirectOutputFile::kind() const {
  if (!onDisk())
    return OutputKind::kStream;
  return named_ ? OutputKind::kFileInClosedFolder : OutputKind::kDescriptorOnFile;
}

// Only a file on a disk can be the log; a console, a pipe or a device
// cannot.
void DirectOutputFile::refuseToOverwrite(const FileStamp& input) const {
  if (onDisk()) {
    FileStamp output;
    if (!identifyFile(handle_, output))
      failWithSystemError(name(), ::GetLastError());
    refuseIfSame(output, input, name());
  }
  if (refusal_ != 0)
    failWithSystemError(name(), refusal_);
}

void DirectOutputFile::begin() {
  if (way().method != Method::kInPlace)
    return;
  LARGE_INTEGER start = {};
  if (::SetFilePointerEx(handle_, start, nullptr, FILE_BEGIN) == 0 || ::SetEndOfFile(handle_) == 0)
    failWithSystemError(name(), ::GetLastError());
}

void DirectOutputFile::close() {
  if (!named_)
    return;
  HANDLE handle = handle_;
  handle_ = INVALID_HANDLE_VALUE;
  if (::CloseHandle(handle) == 0)
    failWithSystemError(name(), ::GetLastError());
}

void DirectOutputFile::write(std::string_view first, std::string_view second) {
  if (first.size() + second.size() > kLargestJoined) {
    writeAll(handle_, name(), first);
    writeAll(handle_, name(), second);
    return;
  }
  joined_.assign(first);
  joined_.append(second);
  writeAll(handle_, name(), joined_);
}
