// The progress display's terminal on Windows: the console.
//
// Standard error is a console when GetConsoleMode accepts its handle. The
// cut log goes to a console when standard output is one, or when its path
// names one (CON, CONOUT$, \\.\CONOUT$): such a path is opened for writing,
// as the output will be, and asked. Paths in the pipe namespace are not
// opened, since opening one would take a pipe's connection from the program
// that waits for the cut log.
//
// The display draws with "\r" and the escape sequence that erases the rest
// of the line. Consoles since Windows 10 understand it once
// ENABLE_VIRTUAL_TERMINAL_PROCESSING is set, which is done for the run and
// undone after it; an older console refuses that mode, and the erasure is
// then spelt out in spaces (LineErasure, windows_text.h), so the progress
// code writes the same text everywhere. Text goes to the console with
// WriteConsoleW, in UTF-16, whatever the console's code page.

#include <algorithm>
#include <cwctype>

#include "terminal.h"
#include "windows_text.h"

#ifndef ENABLE_VIRTUAL_TERMINAL_PROCESSING
#define ENABLE_VIRTUAL_TERMINAL_PROCESSING 0x0004
#endif

namespace {

// The most one WriteConsoleW is given; older consoles refuse much larger
// writes.
constexpr size_t kLargestConsoleWrite = 8192;

bool isConsole(HANDLE handle) {
  DWORD mode;
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE)
    return false;
  if (::GetConsoleMode(handle, &mode) != 0)
    return true;
  // A console opened for writing only may not answer GetConsoleMode, but
  // takes console writes, which other devices refuse.
  DWORD written;
  return ::GetFileType(handle) == FILE_TYPE_CHAR &&
         ::WriteConsoleW(handle, L"", 0, &written, nullptr) != 0;
}

bool inPipeNamespace(const std::wstring& path) {
  DWORD size = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (size == 0)
    return false;
  std::wstring full(size, L'\0');
  full.resize(::GetFullPathNameW(path.c_str(), size, full.data(), nullptr));
  for (wchar_t& c : full)
    c = c == L'/' ? L'\\' : static_cast<wchar_t>(std::towlower(c));
  return full.rfind(L"\\\\.\\pipe\\", 0) == 0 || full.rfind(L"\\\\?\\pipe\\", 0) == 0;
}

// Whether the output at path is a console. A path that cannot be opened
// (a file yet to be made, a directory) is none.
bool isConsolePath(const std::string& path) {
  std::wstring wide = widen(path);
  if (inPipeNamespace(wide))
    return false;
  HANDLE handle = ::CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE)
    return false;
  bool console = isConsole(handle);
  ::CloseHandle(handle);
  return console;
}

class ConsoleTerminal final : public Terminal {
 public:
  explicit ConsoleTerminal(HANDLE console) : console_(console) {
    if (::GetConsoleMode(console_, &originalMode_) == 0)
      return;
    if ((originalMode_ & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0) {
      escapes_ = true;
    } else if (::SetConsoleMode(console_, originalMode_ | ENABLE_PROCESSED_OUTPUT |
                                              ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0) {
      escapes_ = true;
      restoreMode_ = true;
    }
  }

  ~ConsoleTerminal() override {
    if (restoreMode_)
      ::SetConsoleMode(console_, originalMode_);
  }

  void write(std::string_view text) override {
    std::wstring wide = widen(escapes_ ? text : erasure_.translate(text, width()));
    std::wstring_view left = wide;
    while (!left.empty()) {
      DWORD written = 0;
      if (::WriteConsoleW(console_, left.data(),
                          static_cast<DWORD>(std::min(left.size(), kLargestConsoleWrite)), &written,
                          nullptr) == 0 ||
          written == 0)
        return;
      left.remove_prefix(written);
    }
  }

  int width() override {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (::GetConsoleScreenBufferInfo(console_, &info) == 0)
      return 0;
    return info.srWindow.Right - info.srWindow.Left + 1;
  }

 private:
  HANDLE console_;
  DWORD originalMode_ = 0;
  bool escapes_ = false;      // the console erases on ESC [ K itself
  bool restoreMode_ = false;  // escapes were switched on for the run
  LineErasure erasure_;       // for a console without escapes
};

}  // namespace

std::unique_ptr<Terminal> progressTerminal(const std::string& outputPath) {
  HANDLE error = ::GetStdHandle(STD_ERROR_HANDLE);
  if (!isConsole(error))
    return nullptr;
  bool outputIsConsole =
      outputPath.empty() ? isConsole(::GetStdHandle(STD_OUTPUT_HANDLE)) : isConsolePath(outputPath);
  if (outputIsConsole)
    return nullptr;
  return std::make_unique<ConsoleTerminal>(error);
}
