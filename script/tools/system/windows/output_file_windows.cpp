// OutputFile on Windows.
//
// A named output is first opened as it stands, for writing, sharing it with
// everyone: what the system says of that handle decides the Method.
//
// - A file on a disk, or a path where none exists, is replaced. The
//   temporary file is created with CREATE_NEW (".cut.log.streamtrim-x7k2q9"
//   beside cut.log, six letters and digits that differ from run to run)
//   beside the file the path leads to: GetFinalPathNameByHandleW follows
//   symbolic links and junctions, so a link stays a link and the file it
//   leads to is replaced. The temporary file is marked for deletion as soon
//   as it exists, so that the system removes it when the process ends in any
//   way, killed too; the mark is cleared only once every byte is written,
//   just before the file is closed and put in place. ReplaceFileW puts it
//   over an existing output, which keeps the output's security and
//   identity, and the output's attributes (hidden, system, archive, not
//   indexed) are given to the replacement as well; MoveFileExW, which never
//   replaces, puts it at a path still free. When the path changes meanwhile
//   (the output removed, or made by another run), the other call is tried.
//   Hard links to the previous file keep the previous content.
// - Where the output's directory takes no new file (ERROR_ACCESS_DENIED) but
//   the output exists and may be written, it is written in place as before
//   replacement, after the note that says so: opened letting others only
//   read it, emptied by begin() and written as it comes (the rows of a table
//   copied whole in one write).
// - Standard output, a pipe, a console or a device (NUL) is written line by
//   line: the two parts of a line are joined in a buffer kept from line to
//   line and go out with one WriteFile call. A line longer than
//   kLargestJoined is written part by part instead: joining it would double
//   the memory the longest line costs, and a write of many megabytes reaches
//   a pipe or a disk in pieces anyway.
//
// A file that refuses writing (read-only) is opened all the same, without
// write access, so that refuseToOverwrite can tell the read-only log itself
// from another file before it reports the refusal; Windows would refuse to
// replace it as well.
//
// Failures are reported with the system's message: a full disk
// (ERROR_DISK_FULL), a device that refuses writing, a missing standard
// output (an invalid handle). A pipe whose reader has gone (ERROR_NO_DATA)
// throws BrokenPipe. Nothing is flushed to the disk (FlushFileBuffers would
// make every run wait for the disk); every WriteFile and CloseHandle is
// checked. Standard output stays open: the C runtime holds its handle as
// well, closing it under the runtime would let a later open take the
// handle's place, and CloseHandle reports no write error that WriteFile has
// not reported already.

#include <algorithm>
#include <optional>
#include <vector>

#include "system/failure.h"
#include "system/windows/file_identity_windows.h"
#include "system/interruption.h"
#include "system/windows/interruption_windows.h"
#include "system/output_file.h"
#include "system/windows/system_error_windows.h"

namespace {

// The longest line joined into one buffer for one WriteFile call.
constexpr size_t kLargestJoined = size_t{1} << 20;
// The most one WriteFile is asked to write (its count is 32 bits).
constexpr size_t kLargestWrite = size_t{1} << 30;
// The size of the blocks a replacement is written in.
constexpr size_t kBlock = size_t{1} << 20;

// The temporary file's name: "." and the output's name, kTemporaryMark and
// kUniqueLetters letters or digits, within the longest name NTFS takes.
constexpr wchar_t kTemporaryMark[] = L".streamtrim-";
constexpr size_t kUniqueLetters = 6;
constexpr size_t kLongestName = 255;
constexpr size_t kTemporaryExtra =
    1 + (sizeof kTemporaryMark / sizeof(wchar_t) - 1) + kUniqueLetters;
// Names tried before the directory is taken to be refusing new files for
// another reason than a name in use.
constexpr int kNamesTried = 100;

// The attributes a replacement takes from the previous file. Not read-only,
// which Windows never lets a writer have, nor offline, which says where the
// previous file's data was.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY |
                                  FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// How often, and how far apart, putting the replacement in place is tried
// while another program (a virus scanner, an indexer, another run) holds
// the output for a moment.
constexpr int kPlacingAttempts = 20;
constexpr DWORD kPlacingPauseMs = 50;

bool isDirectory(const std::wstring& path) {
  DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Writes all of bytes to handle, going on after a partial write, as a pipe
// may take less than it is given.
void writeAll(HANDLE handle, const std::string& name, std::string_view bytes) {
  while (!bytes.empty()) {
    DWORD written = 0;
    if (::WriteFile(handle, bytes.data(), static_cast<DWORD>(std::min(bytes.size(), kLargestWrite)),
                    &written, nullptr) == 0)
      failWithSystemError(name, ::GetLastError());
    if (written == 0)  // a pipe set not to wait, and full
      failWithSystemError(name, ERROR_WRITE_FAULT);
    bytes.remove_prefix(written);
  }
}

// Throws when stamp is the one input names.
void refuseIfSame(const FileStamp& stamp, const FileStamp& input, const std::string& name) {
  if (stamp.sameFileAs(input))
    throw Failure(name, "is the input log itself");
}

// Standard output, or a named output written where it stands (see above).
class DirectOutputFile final : public OutputFile {
 public:
  // Standard output.
  DirectOutputFile()
      : OutputFile(kStandardOutputName), handle_(::GetStdHandle(STD_OUTPUT_HANDLE)) {}

  // An output already open at handle.
  DirectOutputFile(const std::string& path, HANDLE handle)
      : OutputFile(path), handle_(handle), named_(true) {}

  // Opens path as before replacement: letting others only read it while
  // it is written.
  explicit DirectOutputFile(const std::string& path) : OutputFile(path), named_(true) {
    std::wstring wide = widen(path);
    handle_ = ::CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle_ == INVALID_HANDLE_VALUE)
      failWithSystemError(name(), ::GetLastError());
  }

  // A file that refuses writing for error, open at handle only to be
  // identified.
  DirectOutputFile(const std::string& path, HANDLE handle, DWORD error)
      : OutputFile(path), handle_(handle), named_(true), refusal_(error) {}

  ~DirectOutputFile() override {
    if (named_ && handle_ != INVALID_HANDLE_VALUE)
      ::CloseHandle(handle_);
  }

  // A file on a disk opened by name is one whose directory took no new
  // file; standard output on one stands where the shell put it.
  OutputKind kind() const override {
    if (!onDisk())
      return OutputKind::kStream;
    return named_ ? OutputKind::kFileInClosedFolder : OutputKind::kDescriptorOnFile;
  }

  // Only a file on a disk can be the log; a console, a pipe or a device
  // cannot.
  void refuseToOverwrite(const FileStamp& input) const override {
    if (onDisk()) {
      FileStamp output;
      if (!identifyFile(handle_, output))
        failWithSystemError(name(), ::GetLastError());
      refuseIfSame(output, input, name());
    }
    if (refusal_ != 0)
      failWithSystemError(name(), refusal_);
  }

  void begin() override {
    if (way().method != Method::kInPlace)
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
      writeAll(handle_, name(), first);
      writeAll(handle_, name(), second);
      return;
    }
    joined_.assign(first);
    joined_.append(second);
    writeAll(handle_, name(), joined_);
  }

 private:
  bool onDisk() const { return ::GetFileType(handle_) == FILE_TYPE_DISK; }

  HANDLE handle_ = INVALID_HANDLE_VALUE;
  bool named_ = false;  // a path of the user's, not standard output
  DWORD refusal_ = 0;   // why the file may not be written, when it may not
  std::string joined_;  // the line being written
};

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
  void keepAttributes();
  void putInPlace();

  Replaced replaced_;
  std::wstring temporary_;  // the temporary file's path, empty until it exists
  std::optional<RemovedOnInterruption> removal_;
  HANDLE handle_ = INVALID_HANDLE_VALUE;
  DWORD creationError_ = 0;
  bool marked_ = false;  // for deletion when the handle is closed
  bool placed_ = false;
  std::vector<char> block_;  // bytes not yet written
};

// Six letters or digits, different for every process and every try: the
// process ID and the performance counter, mixed. A name in use is tried
// again, so they need not be unguessable.
std::wstring uniqueLetters(int attempt) {
  LARGE_INTEGER counter = {};
  ::QueryPerformanceCounter(&counter);
  uint64_t mixed = (uint64_t{::GetCurrentProcessId()} << 32) ^
                   static_cast<uint64_t>(counter.QuadPart) ^ static_cast<uint64_t>(attempt);
  mixed *= 0x9e3779b97f4a7c15u;
  std::wstring letters;
  for (size_t i = 0; i < kUniqueLetters; ++i) {
    letters += L"0123456789abcdefghijklmnopqrstuvwxyz"[(mixed >> 58) % 36];
    mixed *= 0x9e3779b97f4a7c15u;
    mixed += i;
  }
  return letters;
}

// The temporary file's path without its unique letters: the target's
// directory, a dot and the target's name, cut (never inside a character)
// where the whole name would pass kLongestName.
std::wstring temporaryPrefix(const std::wstring& target) {
  size_t slash = target.find_last_of(L"\\/");
  size_t start = slash == std::wstring::npos ? 0 : slash + 1;
  std::wstring base = target.substr(start, kLongestName - kTemporaryExtra);
  if (!base.empty() && base.size() < target.size() - start && base.back() >= 0xd800 &&
      base.back() <= 0xdbff)
    base.pop_back();  // the first half of a surrogate pair
  return target.substr(0, start) + L"." + base + kTemporaryMark;
}

// The temporary file is created and registered for removal with
// interruptions held off: Ctrl+C in between would leave it behind.
ReplacingOutputFile::ReplacingOutputFile(const std::string& path, Replaced replaced)
    : OutputFile(path), replaced_(std::move(replaced)) {
  std::wstring prefix = temporaryPrefix(replaced_.target);
  InterruptionsHeld held;
  for (int attempt = 0; attempt < kNamesTried; ++attempt) {
    std::wstring candidate = prefix;
    candidate += uniqueLetters(attempt);
    handle_ = ::CreateFileW(candidate.c_str(), GENERIC_WRITE | DELETE,
                            FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle_ != INVALID_HANDLE_VALUE) {
      temporary_ = candidate;
      removal_.emplace(narrow(temporary_));
      marked_ = markForDeletion(true);
      break;
    }
    creationError_ = ::GetLastError();
    if (creationError_ != ERROR_FILE_EXISTS && creationError_ != ERROR_ALREADY_EXISTS)
      break;
  }
  if (handle_ != INVALID_HANDLE_VALUE)
    creationError_ = 0;
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

// Set once the last byte is written, which would mark the file for the
// archive again; a previous file without attributes of its own is
// "normal", which Windows takes for them all cleared.
void ReplacingOutputFile::keepAttributes() {
  if (!replaced_.stamp)
    return;
  FILE_BASIC_INFO basic = {};  // times of 0 stay as they are
  basic.FileAttributes = replaced_.attributes & kKeptAttributes;
  if (basic.FileAttributes == 0)
    basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
  if (::SetFileInformationByHandle(handle_, FileBasicInfo, &basic, sizeof basic) == 0)
    failWithSystemError(name(), ::GetLastError());
}

void ReplacingOutputFile::close() {
  flush();
  keepAttributes();
  InterruptionsHeld held;
  if (marked_ && !markForDeletion(false))
    failWithSystemError(name(), ::GetLastError());
  marked_ = false;
  HANDLE handle = handle_;
  handle_ = INVALID_HANDLE_VALUE;
  if (::CloseHandle(handle) == 0)
    failWithSystemError(name(), ::GetLastError());
  putInPlace();
  placed_ = true;
  removal_.reset();
}

// ReplaceFileW where a file stands, MoveFileExW (which never replaces) where
// none does; each failure that means the path changed since the last look
// turns to the other call, and one that means another program holds the
// output for a moment is tried again after a pause.
void ReplacingOutputFile::putInPlace() {
  bool exists = replaced_.stamp.has_value();
  DWORD error = 0;
  for (int attempt = 0; attempt < kPlacingAttempts; ++attempt) {
    if (exists) {
      if (::ReplaceFileW(replaced_.target.c_str(), temporary_.c_str(), nullptr,
                         REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0)
        return;
      error = ::GetLastError();
      if (error == ERROR_FILE_NOT_FOUND) {
        exists = false;
        continue;
      }
      if (error != ERROR_UNABLE_TO_REMOVE_REPLACED && error != ERROR_SHARING_VIOLATION &&
          error != ERROR_UNABLE_TO_MOVE_REPLACEMENT)
        break;
      ::Sleep(kPlacingPauseMs);
    } else {
      if (::MoveFileExW(temporary_.c_str(), replaced_.target.c_str(), 0) != 0)
        return;
      error = ::GetLastError();
      if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS)
        break;
      exists = true;
    }
  }
  failWithSystemError(name(), error);
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

}  // namespace

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
