// InputFile on Windows.
//
// The log is opened for reading with every kind of sharing, so that the tool
// never stands in the way of whoever writes, renames or deletes it (the
// stamps notice a log that changes). A log that another program holds open
// without letting others read it cannot be opened: Windows reports a sharing
// violation, which is reported like any other failure to open the log, in
// the first pass, before any output file is opened.
//
// Directories are opened too (FILE_FLAG_BACKUP_SEMANTICS) so that one is
// reported as a directory, not with the "Access is denied" Windows gives
// when a directory is opened as a file. A console, the NUL device or another
// device is not a disk file and is refused; so is a pipe, unless the caller
// reads it once (the checker), which reads it front to back without offsets.
//
// Reads carry their 64-bit offset in an OVERLAPPED, which on a handle opened
// for synchronous reading reads at that offset and waits for the data; logs
// past 4 GiB are read like any other. FILE_FLAG_SEQUENTIAL_SCAN tells the
// cache manager to read far ahead, as the POSIX layer's sequential advice
// does.

#include <algorithm>

#include "system/failure.h"
#include "system/input_file.h"
#include "system/pipe_input_file.h"
#include "system/windows/file_identity_windows.h"
#include "system/windows/system_error_windows.h"

namespace {

// The most one ReadFile is asked for (its count is 32 bits); the line reader
// asks for far less.
constexpr size_t kLargestRead = size_t{1} << 30;

// 100-nanosecond intervals, the unit of a FILETIME.
constexpr uint64_t kFileTimeUnitsPerSecond = 10'000'000;

FileStamp stampOf(const BY_HANDLE_FILE_INFORMATION& info) {
  FileStamp stamp;
  stamp.size = (uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
  uint64_t written =
      (uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) | info.ftLastWriteTime.dwLowDateTime;
  stamp.modifiedSeconds = static_cast<int64_t>(written / kFileTimeUnitsPerSecond);
  stamp.modifiedFraction = static_cast<int64_t>(written % kFileTimeUnitsPerSecond);
  return stamp;
}

// Opens the log at path and makes sure it is a file on a disk, or, where
// readable allows, a pipe (*isPipe tells); on failure closes what it opened
// and throws.
HANDLE openLog(const std::string& path, Readable readable, bool* isPipe) {
  HANDLE handle = ::CreateFileW(
      widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE)
    failWithSystemError(path, ::GetLastError());
  DWORD type = ::GetFileType(handle);
  *isPipe = type == FILE_TYPE_PIPE && readable == Readable::kFileOrPipe;
  if (*isPipe)
    return handle;
  if (type != FILE_TYPE_DISK) {
    DWORD error = ::GetLastError();
    ::CloseHandle(handle);
    if (type == FILE_TYPE_UNKNOWN && error != NO_ERROR)
      failWithSystemError(path, error);
    throw Failure(path, readable == Readable::kRegularFile ? kLogNotRegular : kNeitherFileNorPipe);
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (::GetFileInformationByHandle(handle, &info) == 0) {
    DWORD error = ::GetLastError();
    ::CloseHandle(handle);
    failWithSystemError(path, error);
  }
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    ::CloseHandle(handle);
    throw Failure(path, kIsDirectory);
  }
  return handle;
}

class WindowsInputFile final : public InputFile {
 public:
  WindowsInputFile(const std::string& path, HANDLE handle) : InputFile(path), handle_(handle) {}

  ~WindowsInputFile() override { ::CloseHandle(handle_); }

  FileStamp stamp() const override {
    BY_HANDLE_FILE_INFORMATION info;
    if (::GetFileInformationByHandle(handle_, &info) == 0)
      failWithSystemError(path(), ::GetLastError());
    FileStamp stamp = stampOf(info);
    if (!identifyFile(handle_, stamp))
      failWithSystemError(path(), ::GetLastError());
    return stamp;
  }

  size_t readAt(uint64_t offset, char* buffer, size_t size) const override {
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    if (::ReadFile(handle_, buffer, static_cast<DWORD>(std::min(size, kLargestRead)), &got, &at))
      return got;
    DWORD error = ::GetLastError();
    if (error == ERROR_HANDLE_EOF)
      return 0;
    failWithSystemError(path(), error);
  }

 private:
  HANDLE handle_;
};

// A pipe is read where it stands: no offset. Its writer closing it is its
// end; a message longer than the buffer comes in parts.
class WindowsPipe final : public PipeInputFile {
 public:
  WindowsPipe(const std::string& path, HANDLE handle)
      : PipeInputFile(path, FileStamp{}), handle_(handle) {}

  ~WindowsPipe() override { ::CloseHandle(handle_); }

 protected:
  size_t readSome(char* buffer, size_t size) const override {
    for (;;) {
      DWORD got = 0;
      if (::ReadFile(handle_, buffer, static_cast<DWORD>(std::min(size, kLargestRead)), &got,
                     nullptr)) {
        if (got > 0)
          return got;
        continue;  // a write of no bytes
      }
      DWORD error = ::GetLastError();
      if (error == ERROR_MORE_DATA)
        return got;
      if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF)
        return 0;
      failWithSystemError(path(), error);
    }
  }

 private:
  HANDLE handle_;
};

}  // namespace

std::unique_ptr<InputFile> openInputFile(const std::string& path, Readable readable) {
  bool isPipe = false;
  HANDLE handle = openLog(path, readable, &isPipe);
  if (isPipe)
    return std::make_unique<WindowsPipe>(path, handle);
  return std::make_unique<WindowsInputFile>(path, handle);
}
