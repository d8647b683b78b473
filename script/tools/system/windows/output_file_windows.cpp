// OutputFile on Windows: choosing how the output is written, and the
// replacement.
//
// A named output is first opened as it stands, for writing, sharing it with
// everyone: what the system says of that handle decides the Method.
//
// - A file on a disk, or a path where none exists, is replaced: written to a
//   temporary file (temporary_file_windows.h) beside the file the path leads
//   to. GetFinalPathNameByHandleW follows symbolic links and junctions, so a
//   link stays a link and the file it leads to is replaced. The temporary
//   file is marked for deletion as soon as it exists, so that the system
//   removes it when the process ends in any way, killed too; the mark is
//   cleared only once every byte is written and the previous file's
//   attributes are given to it (kept_attributes_windows.h), just before the
//   file is closed and put in place (put_in_place_windows.h).
// - Where the output's directory takes no new file, an existing output is
//   written in place; standard output, a pipe, a console or a device is
//   written where it stands, and a file that refuses writing is opened only
//   to be identified (direct_output_windows.h).
//
// Failures are reported with the system's message: a full disk
// (ERROR_DISK_FULL), a device that refuses writing, a missing standard
// output (an invalid handle). A pipe whose reader has gone (ERROR_NO_DATA)
// throws BrokenPipe. Nothing is flushed to the disk (FlushFileBuffers would
// make every run wait for the disk); every WriteFile and CloseHandle is
// checked.

#include <cwctype>
#include <optional>
#include <string_view>
#include <vector>

#include "system/failure.h"
#include "system/interruption.h"
#include "system/output_file.h"
#include "system/windows/console_windows.h"
#include "system/windows/direct_output_windows.h"
#include "system/windows/file_identity_windows.h"
#include "system/windows/interruption_windows.h"
#include "system/windows/kept_attributes_windows.h"
#include "system/windows/output_writes_windows.h"
#include "system/windows/put_in_place_windows.h"
#include "system/windows/system_error_windows.h"
#include "system/windows/temporary_file_windows.h"

namespace {

// The size of the blocks a replacement is written in.
constexpr size_t kBlock = size_t{1} << 20;

bool isDirectory(const std::wstring& path) {
  DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// What a replacement needs to know of the output it replaces.
struct Replaced {
  std::wstring target;             // the file the path leads to, or the full path of a new one
  std::optional<FileStamp> stamp;  // the existing file's; none for a new one
  DWORD attributes = 0;            // the existing file's
};

// A file on a disk, or a path still to be created, written to a temporary
// file beside it that close() puts in place.
class ReplacingOutputFile final : public OutputFile {
 public:
  // Creates the temporary file; creationError() tells why it could not be.
  ReplacingOutputFile(const std::string& path, Replaced replaced);

  ~ReplacingOutputFile() override;

  DWORD creationError() const { return creationError_; }

  OutputKind kind() const override { return OutputKind::kFile; }

  void refuseToOverwrite(const FileStamp& input) const override {
    if (replaced_.stamp)
      refuseIfSame(*replaced_.stamp, input, name());
  }

  void begin() override {}

  void close() override;

 protected:
  void write(std::string_view first, std::string_view second) override;

 private:
  void flush();
  bool markForDeletion(bool marked);

  Replaced replaced_;
  std::wstring temporary_;  // the temporary file's path, empty until it exists
  std::optional<RemovedOnInterruption> removal_;
  HANDLE handle_ = INVALID_HANDLE_VALUE;
  DWORD creationError_ = 0;
  bool marked_ = false;  // for deletion when the handle is closed
  bool placed_ = false;
  std::vector<char> block_;  // bytes not yet written
};

// The temporary file is created and registered for removal with
// interruptions held off: Ctrl+C in between would leave it behind.
ReplacingOutputFile::ReplacingOutputFile(const std::string& path, Replaced replaced)
    : OutputFile(path), replaced_(std::move(replaced)) {
  InterruptionsHeld held;
  handle_ = createTemporaryFile(replaced_.target, temporary_, creationError_);
  if (handle_ != INVALID_HANDLE_VALUE) {
    removal_.emplace(narrow(temporary_));
    marked_ = markForDeletion(true);
  }
  block_.reserve(kBlock);
}

// A handle still open holds the mark for deletion, which closing it acts
// on; a file closed but not placed, or never marked, is deleted by name.
ReplacingOutputFile::~ReplacingOutputFile() {
  if (handle_ != INVALID_HANDLE_VALUE) {
    markForDeletion(true);
    ::CloseHandle(handle_);
  }
  if (!temporary_.empty() && !placed_)
    ::DeleteFileW(temporary_.c_str());
}

// A file system that cannot mark a file for deletion still has it removed
// by the destructor and by an interruption: only a killed run leaves it.
bool ReplacingOutputFile::markForDeletion(bool marked) {
  FILE_DISPOSITION_INFO disposition = {};
  disposition.DeleteFile = marked ? TRUE : FALSE;
  return ::SetFileInformationByHandle(handle_, FileDispositionInfo, &disposition,
                                      sizeof disposition) != 0;
}

void ReplacingOutputFile::write(std::string_view first, std::string_view second) {
  size_t size = first.size() + second.size();
  if (block_.size() + size > kBlock)
    flush();
  if (size >= kBlock) {
    writeAll(handle_, name(), first);
    writeAll(handle_, name(), second);
    return;
  }
  block_.insert(block_.end(), first.begin(), first.end());
  block_.insert(block_.end(), second.begin(), second.end());
}

void ReplacingOutputFile::flush() {
  writeAll(handle_, name(), std::string_view(block_.data(), block_.size()));
  block_.clear();
}

void ReplacingOutputFile::close() {
  flush();
  if (replaced_.stamp)
    keepAttributes(handle_, replaced_.attributes, name());
  InterruptionsHeld held;
  if (marked_ && !markForDeletion(false))
    failWithSystemError(name(), ::GetLastError());
  marked_ = false;
  HANDLE handle = handle_;
  handle_ = INVALID_HANDLE_VALUE;
  if (::CloseHandle(handle) == 0)
    failWithSystemError(name(), ::GetLastError());
  putInPlace(temporary_, replaced_.target, replaced_.stamp.has_value(), name());
  placed_ = true;
  removal_.reset();
}

// The full path of path, as the API's calls that take two paths need it
// (relative paths fail there under wine); path itself where the system
// cannot tell.
std::wstring fullPathOf(const std::wstring& path) {
  DWORD size = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (size == 0)
    return path;
  std::wstring full(size, L'\0');
  DWORD length = ::GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size)
    return path;
  full.resize(length);
  return full;
}

// The path the system resolves handle's file to (links followed); the full
// path of path where the system cannot tell.
std::wstring targetOf(HANDLE handle, const std::wstring& path) {
  DWORD size = ::GetFinalPathNameByHandleW(handle, nullptr, 0, FILE_NAME_NORMALIZED);
  if (size != 0) {
    std::wstring target(size, L'\0');
    DWORD length = ::GetFinalPathNameByHandleW(handle, target.data(), size, FILE_NAME_NORMALIZED);
    if (length != 0 && length < size) {
      target.resize(length);
      return target;
    }
  }
  return fullPathOf(path);
}

// What a replacement needs of the existing file open at handle, which is
// closed here: the replacement must not find it held.
Replaced describeExisting(HANDLE handle, const std::wstring& path, const std::string& name) {
  Replaced replaced;
  FileStamp stamp;
  BY_HANDLE_FILE_INFORMATION info;
  bool known = identifyFile(handle, stamp) && ::GetFileInformationByHandle(handle, &info) != 0;
  DWORD error = ::GetLastError();
  if (known)
    replaced.target = targetOf(handle, path);
  ::CloseHandle(handle);
  if (!known)
    failWithSystemError(name, error);
  replaced.stamp = stamp;
  replaced.attributes = info.dwFileAttributes;
  return replaced;
}

// An output the system refuses to open for writing with error: a directory,
// or a file that refuses writing, opened to be identified only (see above).
std::unique_ptr<OutputFile> refusedOutput(const std::string& path, const std::wstring& wide,
                                          DWORD error) {
  if (error == ERROR_ACCESS_DENIED && isDirectory(wide))
    throw Failure(path, kIsDirectory);
  if (error == ERROR_ACCESS_DENIED) {
    HANDLE handle = ::CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
    if (handle != INVALID_HANDLE_VALUE)
      return std::make_unique<DirectOutputFile>(path, handle, error);
  }
  failWithSystemError(path, error);
}

// Whether a failure to create a file in a directory means that it takes no
// new file, when an existing one may still be written.
bool directoryRefusesNewFiles(DWORD error) {
  return error == ERROR_ACCESS_DENIED || error == ERROR_NETWORK_ACCESS_DENIED;
}

// Whether path may name a pipe, local or on another machine (\\.\pipe\x,
// \\server\pipe\x, \\?\UNC\server\pipe\x): opening it would connect to it.
bool mayNamePipe(std::wstring_view path) {
  std::wstring name(path);
  for (wchar_t& c : name)
    c = c == L'/' ? L'\\' : static_cast<wchar_t>(std::towlower(c));
  std::wstring_view rest = name;
  if (rest.starts_with(L"\\\\?\\unc\\"))
    rest.remove_prefix(8);
  else if (rest.starts_with(L"\\\\"))
    rest.remove_prefix(2);
  else
    return false;
  size_t host = rest.find(L'\\');
  return host != std::wstring_view::npos && rest.substr(host + 1).starts_with(L"pipe\\");
}

}  // namespace

// Only a file on a disk is opened, to be read: a console or a pipe is never
// opened to ask, and a device is refused by openInputFile() unread.
std::unique_ptr<InputFile> openExistingOutput(const std::string& path) {
  if (path.empty())
    return nullptr;
  std::wstring wide = widen(path);
  if (mayNameConsole(wide) || mayNamePipe(wide))
    return nullptr;
  DWORD attributes = ::GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    return nullptr;
  try {
    return openInputFile(path);
  } catch (const Failure&) {
    return nullptr;
  }
}

// The output is opened once as it stands, sharing everything, to learn what
// it is: a pipe's server is to see one connection only, as before.
std::unique_ptr<OutputFile> openOutputFile(const std::string& path) {
  if (path.empty())
    return std::make_unique<DirectOutputFile>();
  std::wstring wide = widen(path);
  HANDLE handle = ::CreateFileW(wide.c_str(), GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
  Replaced replaced;
  if (handle == INVALID_HANDLE_VALUE) {
    DWORD error = ::GetLastError();
    if (error != ERROR_FILE_NOT_FOUND)
      return refusedOutput(path, wide, error);
    replaced.target = fullPathOf(wide);
  } else if (::GetFileType(handle) != FILE_TYPE_DISK) {
    return std::make_unique<DirectOutputFile>(path, handle);
  } else {
    replaced = describeExisting(handle, wide, path);
  }
  bool exists = replaced.stamp.has_value();
  auto replacing = std::make_unique<ReplacingOutputFile>(path, std::move(replaced));
  DWORD error = replacing->creationError();
  if (error == 0)
    return replacing;
  if (!exists || !directoryRefusesNewFiles(error))
    failWithSystemError(path, error);
  return std::make_unique<DirectOutputFile>(path);
}

void refuseUnopenedDescriptor(const std::string&) {}
