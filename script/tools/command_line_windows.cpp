// The command line and standard streams on Windows.
//
// Arguments. Windows hands a program its command line in UTF-16; the char
// argv the C runtime makes of it is in the ANSI code page, which turns most
// names outside it into question marks. The arguments are split from the
// UTF-16 line again (CommandLineToArgvW, by the rules of Windows' shell)
// and converted to UTF-8 (windows_text.h).
//
// Standard streams. Standard output and standard error are put in binary
// mode: the C runtime would otherwise turn every LF written through it into
// CR LF, and the tool's messages and the checker's report are to be the same
// bytes everywhere. The cut log itself goes out with WriteFile and never
// meets that translation. Windows hands out handles, not the lowest free
// number, so a file the tool opens never takes the place of a missing
// standard handle; writing to a missing standard output fails (an invalid
// handle) and is reported.
//
// The console's encoding. The tool's messages are UTF-8, written with the C
// library, and a console shows the bytes written to it in its output code
// page. When standard output or error is a console, its output code page is
// set to UTF-8 for the run and set back at exit, also when the run is ended
// by Ctrl+C or Ctrl+Break or the console window is closed (a console's code
// page outlives the program, and the shell the user goes on with has its
// own expectations). Writing the console in UTF-16 with WriteConsoleW instead
// would leave the code page alone, but then every message of both programs,
// the usage text included, would need its own way around the C library's
// streams; the code page covers all of them, and a name in any language
// shows right. A message may reach the console in several writes (the C
// library of MinGW builds writes formatted text a byte at a time to an
// unbuffered stream); the console of Windows 10 and later joins a character
// split between writes, older consoles and wine's show it as replacement
// characters. Buffering standard error instead would keep the checker's
// problems from showing among its report lines as they are found.
//
// Broken pipes. Windows has no SIGPIPE: a write to a pipe whose reader has
// gone fails (ERROR_NO_DATA), and the output layer throws BrokenPipe so that
// the status line is erased. endByBrokenPipe then returns, and the caller
// reports the failure as one line with status 1, which is what Windows' own
// commands do when the reader of their output quits early.

#include "windows_text.h"  // <windows.h> first: <shellapi.h> needs it

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "command_line.h"

namespace {

// 0 while the console's code page is untouched. An interrupt is handled on
// a thread of its own, maybe while main exits.
std::atomic<UINT> originalCodePage{0};

// What the C library still holds is written first, in the code page it was
// meant for: at exit, the library flushes its streams only after this.
void restoreCodePage() {
  UINT codePage = originalCodePage.exchange(0);
  if (codePage == 0)
    return;
  std::fflush(nullptr);
  ::SetConsoleOutputCP(codePage);
}

BOOL WINAPI restoreCodePageOnInterrupt(DWORD) {
  restoreCodePage();
  return FALSE;  // the next handler, by default the one ending the process, runs as well
}

bool isConsole(DWORD which) {
  DWORD mode;
  return ::GetConsoleMode(::GetStdHandle(which), &mode) != 0;
}

void binaryMode(std::FILE* stream) {
  int fd = _fileno(stream);
  if (fd >= 0)
    _setmode(fd, _O_BINARY);
}

}  // namespace

std::vector<std::string> commandLineArguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr)  // out of memory: the C runtime's split is still better than none
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
  std::vector<std::string> arguments;
  for (int i = 1; i < count; ++i)
    arguments.push_back(narrow(wide[i]));
  ::LocalFree(wide);
  return arguments;
}

void prepareStandardStreams() {
  binaryMode(stdout);
  binaryMode(stderr);
  if (!isConsole(STD_OUTPUT_HANDLE) && !isConsole(STD_ERROR_HANDLE))
    return;
  UINT codePage = ::GetConsoleOutputCP();
  if (codePage == 0 || codePage == CP_UTF8 || ::SetConsoleOutputCP(CP_UTF8) == 0)
    return;
  originalCodePage = codePage;
  std::atexit(restoreCodePage);
  ::SetConsoleCtrlHandler(restoreCodePageOnInterrupt, TRUE);
}

void endByBrokenPipe() {}
