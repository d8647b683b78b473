// The progress display's terminal on Windows: the console.
//
// Standard error is a console when isConsole (console_windows.h) says so.
// The cut log goes to a console when standard output is one, or when its
// path names a console device (CON, CONOUT$, CONIN$, in any folder and with
// any extension, as Windows reads such names): only such a path is opened,
// for writing as the output will be, and asked. No other path is opened to
// ask: opening a named pipe (\\.\pipe\..., \\server\pipe\...) would take
// the connection the program that waits for the cut log is waiting for, and
// opening another device may have effects of its own.
//
// The status line is drawn with "\r" and the escape sequence that erases
// the rest of the line. Consoles since Windows 10 understand it once
// ENABLE_VIRTUAL_TERMINAL_PROCESSING is set, which is done for the run and
// undone after it (console_windows.h); an older console refuses that mode
// and gets no status line, only the summary. Text goes to the console with
// WriteConsoleW, in UTF-16, whatever the console's code page.

#include <algorithm>
#include <cwctype>

#include "system/interruption.h"
#include "system/terminal.h"
#include "system/windows/console_windows.h"

#ifndef ENABLE_VIRTUAL_TERMINAL_PROCESSING
#define ENABLE_VIRTUAL_TERMINAL_PROCESSING 0x0004
#endif

namespace {

// The most one WriteConsoleW is given; older consoles refuse much larger
// writes.
constexpr size_t kLargestConsoleWrite = 8192;

// Erases from the cursor to the end of the line.
constexpr char kEraseLine[] = "\x1b[K";

class ConsoleTerminal final : public Terminal {
 public:
  // Escape sequences are switched on for the run where the console takes
  // them; a console that does not draws no status line.
  explicit ConsoleTerminal(HANDLE console)
      : console_(console),
        escapes_(addConsoleModeForRun(
            console, ENABLE_PROCESSED_OUTPUT | ENABLE_VIRTUAL_TERMINAL_PROCESSING)) {}

  void drawStatus(std::string_view line) override {
    if (!escapes_)
      return;
    write(std::string("\r").append(line).append(kEraseLine));
    setStatusLineShown(true);
  }

  void eraseStatus() override {
    if (!escapes_)
      return;
    write(std::string("\r") + kEraseLine);
    setStatusLineShown(false);
  }

  void printLine(std::string_view line) override { write(std::string(line).append("\n")); }

  int width() override {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (::GetConsoleScreenBufferInfo(console_, &info) == 0)
      return 0;
    return info.srWindow.Right - info.srWindow.Left + 1;
  }

 private:
  void write(std::string_view text) {
    std::wstring wide = widen(text);
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

  HANDLE console_;
  bool escapes_;  // the console erases a line on ESC [ K
};

// Whether the output at path is a console. A path that cannot be opened
// (a file yet to be made, a directory) is none.
bool isConsolePath(const std::string& path) {
  std::wstring wide = widen(path);
  if (!mayNameConsole(wide))
    return false;
  HANDLE handle = ::CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE)
    return false;
  bool console = isConsole(handle);
  ::CloseHandle(handle);
  return console;
}

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
