// The test helpers on Windows: CreateProcessW with a quoted UTF-16 command
// line, anonymous pipes read concurrently, named pipes, and paths converted
// from UTF-8 to UTF-16 as the tool converts them (utf16.h).

#include "system/windows/windows_api.h"  // <windows.h> as the tool includes it

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <map>
#include <mutex>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "system/windows/system_error_windows.h"
#include "test_support.h"
#include "test_support_windows.h"

namespace {

[[noreturn]] void fail(const std::string& what) {
  throw std::runtime_error(what + ": " + windowsReason(::GetLastError()));
}

// Owns a handle; null and INVALID_HANDLE_VALUE both mean none.
class Handle {
 public:
  Handle() = default;
  explicit Handle(HANDLE handle) : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
  ~Handle() { reset(); }
  Handle(Handle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  Handle& operator=(Handle&& other) noexcept {
    if (this != &other) {
      reset();
      handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
  }

  HANDLE get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  void reset() {
    if (handle_ != nullptr)
      ::CloseHandle(handle_);
    handle_ = nullptr;
  }

 private:
  HANDLE handle_ = nullptr;
};

HANDLE openForAttributes(const std::string& path, DWORD access) {
  HANDLE file = ::CreateFileW(widen(path).c_str(), access,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    fail("cannot open " + path);
  return file;
}

// FILETIME counts 100 ns since 1601-01-01; this many of them lead to 1970.
constexpr int64_t kUnixEpochTicks = 116444736000000000;
constexpr int64_t kTicksPerSecond = 10000000;

// A name no other test, process or run uses at the same time.
std::string uniqueName() {
  static std::atomic<unsigned> counter{0};
  return "streamtrim-test-" + std::to_string(::GetCurrentProcessId()) + "-" +
         std::to_string(::GetTickCount64()) + "-" + std::to_string(counter++);
}

}  // namespace

bool systemIsPosix() {
  return false;
}

// Windows grants symbolic links only to some users.
bool symlinkRefused(const std::error_code& error) {
  return error == std::errc::operation_not_permitted || error == std::errc::permission_denied ||
         error == std::errc::function_not_supported || error == std::errc::not_supported;
}

std::string programPath(const std::string& program) {
  return program;
}

std::string windowsReason(unsigned long error) {
  wchar_t* text = nullptr;
  DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  if (length == 0)
    return "error " + std::to_string(error);
  std::wstring message(text, length);
  ::LocalFree(text);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                              message.back() == L' ' || message.back() == L'.'))
    message.pop_back();
  return narrow(message);
}

TempDir::TempDir() {
  wchar_t base[MAX_PATH + 1];
  DWORD length = ::GetTempPathW(MAX_PATH + 1, base);
  if (length == 0 || length > MAX_PATH)
    fail("no directory for temporary files");
  std::string parent = narrow(std::wstring(base, length));
  for (char& c : parent)
    c = c == '\\' ? '/' : c;
  if (parent.back() != '/')
    parent += '/';
  for (;;) {
    std::string candidate = parent + uniqueName();
    if (::CreateDirectoryW(widen(candidate).c_str(), nullptr)) {
      path_ = candidate;
      return;
    }
    if (::GetLastError() != ERROR_ALREADY_EXISTS)
      fail("cannot make a directory in " + parent);
  }
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(fsPath(path_), ignored);
}

ModificationTime modificationTime(const std::string& path) {
  Handle file(openForAttributes(path, FILE_READ_ATTRIBUTES));
  FILETIME written;
  if (!::GetFileTime(file.get(), nullptr, nullptr, &written))
    fail("cannot read the time of " + path);
  int64_t ticks =
      static_cast<int64_t>((uint64_t{written.dwHighDateTime} << 32) | written.dwLowDateTime) -
      kUnixEpochTicks;
  int64_t seconds = ticks / kTicksPerSecond;
  int64_t below = ticks % kTicksPerSecond;
  if (below < 0) {
    --seconds;
    below += kTicksPerSecond;
  }
  return {seconds, below * 100};
}

void setModificationTime(const std::string& path, const ModificationTime& time) {
  uint64_t ticks = static_cast<uint64_t>(time.seconds * kTicksPerSecond + time.nanoseconds / 100 +
                                         kUnixEpochTicks);
  FILETIME written{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  Handle file(openForAttributes(path, FILE_WRITE_ATTRIBUTES));
  if (!::SetFileTime(file.get(), nullptr, nullptr, &written))
    fail("cannot set the time of " + path);
}

std::string systemReason(SystemError error) {
  switch (error) {
    case SystemError::kNoSuchFile:
      return windowsReason(ERROR_FILE_NOT_FOUND);
    case SystemError::kNoSuchDirectory:
      return windowsReason(ERROR_PATH_NOT_FOUND);
    case SystemError::kNoSuchOddName:
      return windowsReason(ERROR_INVALID_NAME);
    case SystemError::kIsADirectory:
      return kIsDirectory;  // Windows has no message of its own for it
    case SystemError::kNoSpace:
      return windowsReason(ERROR_DISK_FULL);
  }
  throw std::logic_error("no such SystemError");
}

const char kNullDevice[] = "NUL";

const char* fullDevice() {
  return nullptr;
}

NamedPipe::NamedPipe(const TempDir&) : path_("\\\\.\\pipe\\" + uniqueName()) {
  // Duplex, so that a client may open it for reading, writing or both; each
  // instance waits for a client of its own.
  for (int i = 0; i < kOpens; ++i) {
    HANDLE instance = ::CreateNamedPipeW(
        widen(path_).c_str(), PIPE_ACCESS_DUPLEX | (i == 0 ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0),
        PIPE_TYPE_BYTE | PIPE_WAIT, kOpens, 4096, 4096, 0, nullptr);
    if (instance == INVALID_HANDLE_VALUE) {
      for (void* made : instances_)
        ::CloseHandle(made);
      fail("cannot make the pipe " + path_);
    }
    instances_.push_back(instance);
  }
}

// The writer waits for a program to connect; the destructor, when none
// did, connects in its place, so that the wait ends.
FedPipe::FedPipe(const TempDir&, std::string content) : path_("\\\\.\\pipe\\" + uniqueName()) {
  HANDLE pipe = ::CreateNamedPipeW(widen(path_).c_str(), PIPE_ACCESS_OUTBOUND,
                                   PIPE_TYPE_BYTE | PIPE_WAIT, 1, 65536, 0, 0, nullptr);
  if (pipe == INVALID_HANDLE_VALUE)
    fail("cannot make the pipe " + path_);
  writer_ = std::thread([this, pipe, content = std::move(content)] {
    bool connected = ::ConnectNamedPipe(pipe, nullptr) || ::GetLastError() == ERROR_PIPE_CONNECTED;
    for (size_t done = 0; connected && !stop_ && done < content.size();) {
      DWORD wrote = 0;
      DWORD size = static_cast<DWORD>(std::min<size_t>(content.size() - done, 65536));
      if (!::WriteFile(pipe, content.data() + done, size, &wrote, nullptr))
        break;
      done += wrote;
    }
    ::FlushFileBuffers(pipe);  // until the program has read it all, or gone
    ::CloseHandle(pipe);
  });
}

FedPipe::~FedPipe() {
  stop_ = true;
  HANDLE client =
      ::CreateFileW(widen(path_).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (client != INVALID_HANDLE_VALUE)
    ::CloseHandle(client);
  writer_.join();
}

NamedPipe::~NamedPipe() {
  for (void* instance : instances_)
    ::CloseHandle(instance);
}

namespace {

// Points standard output, the C runtime's descriptor 1 and the system's
// handle alike, at what fd refers to.
void setStandardOutput(int fd) {
  if (::_dup2(fd, 1) != 0)
    throw std::runtime_error("cannot redirect standard output");
  ::SetStdHandle(STD_OUTPUT_HANDLE, reinterpret_cast<HANDLE>(::_get_osfhandle(1)));
}

}  // namespace

StandardOutputRedirect::StandardOutputRedirect(const std::string& path) {
  std::fflush(stdout);
  int fd = ::_wopen(widen(path).c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY | _O_NOINHERIT,
                    _S_IREAD | _S_IWRITE);
  if (fd < 0)
    throw std::runtime_error("cannot open " + path);
  saved_ = ::_dup(1);
  if (saved_ < 0) {
    ::_close(fd);
    throw std::runtime_error("no standard output to redirect");
  }
  setStandardOutput(fd);
  ::_close(fd);
}

StandardOutputRedirect::~StandardOutputRedirect() {
  std::fflush(stdout);
  setStandardOutput(saved_);
  ::_close(saved_);
}

namespace {

// One argument as the C runtime splits a command line: in double quotes when
// it is empty or holds blanks or quotes, a quote escaped with a backslash,
// and backslashes doubled where they come before a quote.
std::wstring quoted(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos)
    return arg;
  std::wstring text = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    text.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    text.push_back(c);
    backslashes = 0;
  }
  text.append(2 * backslashes, L'\\');
  return text + L"\"";
}

// The program's name comes first and in quotes, as it is: the C runtime takes
// it up to the next quote without looking for escapes.
std::wstring commandLine(const std::vector<std::string>& args) {
  std::wstring line;
  for (size_t i = 0; i < args.size(); ++i) {
    if (i == 0)
      line += L"\"" + widen(args[i]) + L"\"";
    else
      line += L" " + quoted(widen(args[i]));
  }
  return line;
}

// The handles a started program gets as its standard streams; each must be
// inheritable, and out may be null (a closed standard output).
struct StandardHandles {
  HANDLE in;
  HANDLE out;
  HANDLE err;
};

// Starts program with args, detached from any console as a program a service
// starts: its standard streams are the handles given, a null one missing.
// Only those handles are inherited, so that a pipe of another run started
// meanwhile never stays open in this one.
Handle launch(const std::string& program, const std::vector<std::string>& args,
              const StandardHandles& handles, const std::string& cwd, DWORD& pid) {
  std::wstring application;
  if (program.find_first_of("/\\") != std::string::npos) {
    std::wstring given = widen(program);
    DWORD length = ::GetFullPathNameW(given.c_str(), 0, nullptr, nullptr);
    application.resize(length);
    length = ::GetFullPathNameW(given.c_str(), length, application.data(), nullptr);
    application.resize(length);
  }
  std::wstring line = commandLine(args);
  std::wstring directory = widen(cwd);

  std::vector<HANDLE> inherited;
  for (HANDLE handle : {handles.in, handles.out, handles.err}) {
    if (handle != nullptr &&
        std::find(inherited.begin(), inherited.end(), handle) == inherited.end())
      inherited.push_back(handle);
  }
  SIZE_T size = 0;
  ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
  std::vector<char> storage(size);
  auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage.data());
  if (!::InitializeProcThreadAttributeList(attributes, 1, 0, &size) ||
      !::UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST,
                                   inherited.data(), inherited.size() * sizeof(HANDLE), nullptr,
                                   nullptr))
    fail("cannot list the handles for " + program);

  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof startup;
  startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
  startup.StartupInfo.hStdInput = handles.in;
  startup.StartupInfo.hStdOutput = handles.out;
  startup.StartupInfo.hStdError = handles.err;
  startup.lpAttributeList = attributes;
  PROCESS_INFORMATION process{};
  // Wine now and then fails to start a process ("Internal error") that
  // starts on the next try; a process that never started has run nothing.
  BOOL started = FALSE;
  DWORD error = 0;
  for (int tries = 0; !started && tries < 5; ++tries) {
    if (tries > 0)
      ::Sleep(50);
    started = ::CreateProcessW(
        application.empty() ? nullptr : application.c_str(), line.data(), nullptr, nullptr, TRUE,
        EXTENDED_STARTUPINFO_PRESENT | DETACHED_PROCESS, nullptr,
        directory.empty() ? nullptr : directory.c_str(), &startup.StartupInfo, &process);
    error = ::GetLastError();
  }
  ::DeleteProcThreadAttributeList(attributes);
  if (!started) {
    ::SetLastError(error);
    fail("cannot start " + program);
  }
  ::CloseHandle(process.hThread);
  pid = process.dwProcessId;
  return Handle(process.hProcess);
}

SECURITY_ATTRIBUTES inheritable() {
  return {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
}

Handle openNull() {
  SECURITY_ATTRIBUTES attributes = inheritable();
  Handle null(::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &attributes,
                            OPEN_EXISTING, 0, nullptr));
  if (!null)
    fail("cannot open NUL");
  return null;
}

// A pipe whose write end a child inherits and whose read end stays here.
void makePipe(Handle& readEnd, Handle& writeEnd) {
  SECURITY_ATTRIBUTES attributes = inheritable();
  HANDLE read = nullptr;
  HANDLE write = nullptr;
  if (!::CreatePipe(&read, &write, &attributes, 0))
    fail("cannot make a pipe");
  readEnd = Handle(read);
  writeEnd = Handle(write);
  ::SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
}

// Reads the pipe until its last writer has gone.
std::string drain(HANDLE pipe) {
  std::string text;
  char buffer[65536];
  DWORD got = 0;
  while (::ReadFile(pipe, buffer, sizeof buffer, &got, nullptr))
    text.append(buffer, got);
  return text;
}

int exitCode(HANDLE process) {
  ::WaitForSingleObject(process, INFINITE);
  DWORD code = 0;
  if (!::GetExitCodeProcess(process, &code))
    fail("no exit code");
  return static_cast<int>(code);
}

}  // namespace

RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const RunOptions& options) {
  SECURITY_ATTRIBUTES attributes = inheritable();
  Handle in = openNull();
  Handle outRead, outWrite, errRead, errWrite;
  makePipe(errRead, errWrite);
  if (!options.stdoutPath.empty()) {
    outWrite = Handle(::CreateFileW(widen(options.stdoutPath).c_str(),
                                    GENERIC_WRITE | FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    &attributes, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!outWrite)
      fail("cannot open " + options.stdoutPath);
  } else if (!options.stdoutAppendPath.empty()) {
    outWrite = Handle(::CreateFileW(widen(options.stdoutAppendPath).c_str(),
                                    FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    &attributes, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!outWrite)
      fail("cannot open " + options.stdoutAppendPath);
  } else if (!options.closeStdout) {
    makePipe(outRead, outWrite);
  }

  DWORD pid = 0;
  Handle process =
      launch(program, args, {in.get(), outWrite.get(), errWrite.get()}, options.cwd, pid);
  outWrite.reset();  // the child's copies are the only writers left
  errWrite.reset();
  RunResult result;
  std::thread errReader([&] { result.err = drain(errRead.get()); });
  if (outRead)
    result.out = drain(outRead.get());
  errReader.join();
  result.status = exitCode(process.get());
  return result;
}

namespace {

// The processes startProgram started and waitForExit has not yet waited for.
std::mutex startedMutex;
std::map<int, Handle> started;

// An inheritable copy of what a C runtime descriptor refers to.
Handle inheritableCopy(int fd) {
  HANDLE original = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
  HANDLE copy = nullptr;
  if (original == INVALID_HANDLE_VALUE ||
      !::DuplicateHandle(::GetCurrentProcess(), original, ::GetCurrentProcess(), &copy, 0, TRUE,
                         DUPLICATE_SAME_ACCESS))
    fail("cannot pass on descriptor " + std::to_string(fd));
  return Handle(copy);
}

}  // namespace

int startProgram(const std::string& program, const std::vector<std::string>& args, int outFd,
                 int errFd) {
  Handle in = openNull();
  Handle out = inheritableCopy(outFd);
  Handle err = inheritableCopy(errFd);
  DWORD pid = 0;
  Handle process = launch(program, args, {in.get(), out.get(), err.get()}, "", pid);
  std::lock_guard<std::mutex> lock(startedMutex);
  started[static_cast<int>(pid)] = std::move(process);
  return static_cast<int>(pid);
}

int waitForExit(int pid) {
  Handle process;
  {
    std::lock_guard<std::mutex> lock(startedMutex);
    auto found = started.find(pid);
    if (found == started.end())
      throw std::logic_error("no process " + std::to_string(pid) + " was started");
    process = std::move(found->second);
    started.erase(found);
  }
  return exitCode(process.get());
}

Pipe::Pipe() {
  if (::_pipe(fds, 65536, _O_BINARY | _O_NOINHERIT) != 0)
    throw std::runtime_error("cannot make a pipe");
}

Pipe::~Pipe() {
  closeDescriptor(fds[0]);
}

void closeDescriptor(int& fd) {
  if (fd >= 0)
    ::_close(fd);
  fd = -1;
}

long readDescriptor(int fd, char* buffer, size_t size) {
  return ::_read(fd, buffer, static_cast<unsigned>(size));
}

int waitForInput(const std::vector<int>& fds, int milliseconds) {
  ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(milliseconds);
  for (;;) {
    for (size_t i = 0; i < fds.size(); ++i) {
      DWORD available = 0;
      HANDLE pipe = reinterpret_cast<HANDLE>(::_get_osfhandle(fds[i]));
      if (!::PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) || available > 0)
        return static_cast<int>(i);  // something to read, or the end
    }
    if (::GetTickCount64() >= deadline)
      return -1;
    ::Sleep(5);
  }
}

PseudoTerminal::PseudoTerminal() {
  throw std::runtime_error("Windows has no pseudo-terminals");
}

PseudoTerminal::~PseudoTerminal() = default;

void PseudoTerminal::setWidth(int) {}

void PseudoTerminal::closeTerminal() {}

LockedFile::LockedFile(const std::string& path)
    : handle_(::CreateFileW(widen(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)) {
  if (handle_ == INVALID_HANDLE_VALUE)
    fail("cannot lock " + path);
}

LockedFile::~LockedFile() {
  if (handle_ != nullptr)
    ::CloseHandle(handle_);
}

LockedFile::LockedFile(LockedFile&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)) {}
