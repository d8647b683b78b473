// OutputFile on Windows.
//
// A named output is opened (and created when missing) for writing, letting
// others read it while it is written; it is emptied only by begin(), once
// the log has been read through. Standard output is the handle the process
// was given. Every line goes out with one WriteFile call: the two parts of a
// line are joined in a buffer kept from line to line. A line longer than
// kLargestJoined is written part by part instead: joining it would double
// the memory the longest line costs, and a write of many megabytes reaches a
// pipe or a disk in pieces anyway.
//
// A file that refuses writing is opened all the same, without write access,
// so that refuseToOverwrite can tell the read-only log itself from another
// file before it reports the refusal.
//
// Failures are reported with the system's message: a full disk
// (ERROR_DISK_FULL), a device that refuses writing, a missing standard
// output (an invalid handle). A pipe whose reader has gone (ERROR_NO_DATA)
// throws BrokenPipe. Closing does not flush the system's cache to the disk
// (FlushFileBuffers would make every run wait for the disk); it only reports
// a failing CloseHandle. Standard output stays open: the C runtime holds its
// handle as well, closing it under the runtime would let a later open take
// the handle's place, and CloseHandle reports no write error that WriteFile
// has not reported already.

#include <algorithm>

#include "failure.h"
#include "file_identity_windows.h"
#include "output_file.h"
#include "system_error_windows.h"

namespace {

// The longest line joined into one buffer for one WriteFile call.
constexpr size_t kLargestJoined = size_t{1} << 20;
// The most one WriteFile is asked to write (its count is 32 bits).
constexpr size_t kLargestWrite = size_t{1} << 30;

bool isDirectory(const std::string& path) {
  DWORD attributes = ::GetFileAttributesW(widen(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

class WindowsOutputFile final : public OutputFile {
 public:
  // Standard output.
  WindowsOutputFile()
      : OutputFile(kStandardOutputName), handle_(::GetStdHandle(STD_OUTPUT_HANDLE)) {}

  explicit WindowsOutputFile(const std::string& path) : OutputFile(path), named_(true) {
    handle_ = ::CreateFileW(widen(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle_ == INVALID_HANDLE_VALUE) {
      DWORD error = ::GetLastError();
      // Windows denies access to a directory opened as a file.
      if (error == ERROR_ACCESS_DENIED && isDirectory(path))
        throw Failure(name(), kIsDirectory);
      // A file that refuses writing may be the log itself, read-only, and
      // then that is what the user is to hear: it is opened to be
      // identified, and the refusal waits for refuseToOverwrite. A write or
      // a truncation is refused by the system alike.
      if (error == ERROR_ACCESS_DENIED) {
        handle_ = ::CreateFileW(widen(path).c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
        refusal_ = error;
      }
      if (handle_ == INVALID_HANDLE_VALUE)
        failWithSystemError(name(), error);
    }
  }

  ~WindowsOutputFile() override {
    if (named_ && handle_ != INVALID_HANDLE_VALUE)
      ::CloseHandle(handle_);
  }

  // Only a file on a disk can be the log; a console, a pipe or a device
  // cannot.
  void refuseToOverwrite(const FileStamp& input) const override {
    if (onDisk()) {
      FileStamp output;
      if (!identifyFile(handle_, output))
        failWithSystemError(name(), ::GetLastError());
      if (output.sameFileAs(input))
        throw Failure(name(), "is the input log itself");
    }
    if (refusal_ != 0)
      failWithSystemError(name(), refusal_);
  }

  Method method() const override { return onDisk() ? Method::kInPlace : Method::kLineByLine; }

  void begin() override {
    if (!named_ || !onDisk())
      return;
    LARGE_INTEGER start = {};
    if (::SetFilePointerEx(handle_, start, nullptr, FILE_BEGIN) == 0 ||
        ::SetEndOfFile(handle_) == 0)
      failWithSystemError(name(), ::GetLastError());
  }

  void close() override {
    if (!named_)
      return;
    HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    if (::CloseHandle(handle) == 0)
      failWithSystemError(name(), ::GetLastError());
  }

 protected:
  void write(std::string_view first, std::string_view second) override {
    if (first.size() + second.size() > kLargestJoined) {
      writeBytes(first);
      writeBytes(second);
      return;
    }
    joined_.assign(first);
    joined_.append(second);
    writeBytes(joined_);
  }

 private:
  bool onDisk() const { return ::GetFileType(handle_) == FILE_TYPE_DISK; }

  // Goes on after a partial write, as a pipe may take less than it is given.
  void writeBytes(std::string_view bytes) {
    while (!bytes.empty()) {
      DWORD written = 0;
      if (::WriteFile(handle_, bytes.data(),
                      static_cast<DWORD>(std::min(bytes.size(), kLargestWrite)), &written,
                      nullptr) == 0)
        failWithSystemError(name(), ::GetLastError());
      if (written == 0)  // a pipe set not to wait, and full
        failWithSystemError(name(), ERROR_WRITE_FAULT);
      bytes.remove_prefix(written);
    }
  }

  HANDLE handle_ = INVALID_HANDLE_VALUE;
  bool named_ = false;  // a path of the user's, not standard output
  DWORD refusal_ = 0;   // why the file may not be written, when it may not
  std::string joined_;  // the line being written
};

}  // namespace

std::unique_ptr<OutputFile> openOutputFile(const std::string& path) {
  if (path.empty())
    return std::make_unique<WindowsOutputFile>();
  return std::make_unique<WindowsOutputFile>(path);
}
