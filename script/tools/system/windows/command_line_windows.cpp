// The command line and standard streams on Windows.
//
// Arguments. Windows hands a program its command line in UTF-16; the char
// argv the C runtime makes of it is in the ANSI code page, which turns most
// names outside it into question marks. The arguments and the program's
// name are split from the UTF-16 line again (CommandLineToArgvW, by the
// rules of Windows' shell) and converted to UTF-8 (utf16.h).
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
// set to UTF-8 for the run and set back on every way out (console_windows.h).
// Writing the console in UTF-16 with WriteConsoleW instead
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
// Write errors of the C library's streams are reported with the system's
// message for the error the C runtime met (_doserrno), as the file layer
// reports its own.
//
// Broken pipes. Windows has no SIGPIPE: a write to a pipe whose reader has
// gone fails (ERROR_NO_DATA), and the output layer throws BrokenPipe so that
// the status line is erased. endByBrokenPipe then returns, and the caller
// reports the failure as one line with status 1, which is what Windows' own
// commands do when the reader of their output quits early.

#include "system/windows/windows_api.h"  // <windows.h> first: <shellapi.h> needs it

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "system/command_line.h"
#include "system/windows/console_windows.h"
#include "system/windows/system_error_windows.h"

namespace {

void binaryMode(std::FILE* stream) {
  int fd = _fileno(stream);
  if (fd >= 0)
    _setmode(fd, _O_BINARY);
}

// The program's name and its arguments, split from the UTF-16 command line;
// when that fails (out of memory), the C runtime's split is still better than
// none.
std::vector<std::string> wholeCommandLine(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr)
    return std::vector<std::string>(argv, argv + argc);
  std::vector<std::string> line;
  for (int i = 0; i < count; ++i)
    line.push_back(narrow(wide[i]));
  ::LocalFree(wide);
  return line;
}

}  // namespace

std::vector<std::string> commandLineArguments(int argc, char** argv) {
  std::vector<std::string> line = wholeCommandLine(argc, argv);
  if (!line.empty())
    line.erase(line.begin());
  return line;
}

std::string programName(int argc, char** argv, const char* fallback) {
  std::vector<std::string> line = wholeCommandLine(argc, argv);
  return line.empty() || line[0].empty() ? fallback : line[0];
}

bool nameIsTaken(const std::string& path) {
  if (::GetFileAttributesW(widen(path).c_str()) != INVALID_FILE_ATTRIBUTES)
    return true;
  DWORD error = ::GetLastError();
  return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
}

std::string standardStreamError(int error) {
  unsigned long systemError = _doserrno;
  if (systemError != 0)
    return systemMessage(systemError);
  // The C runtime's own refusal of a missing standard handle.
  if (error == EBADF)
    return systemMessage(ERROR_INVALID_HANDLE);
  return std::strerror(error);
}

void prepareStandardStreams() {
  binaryMode(stdout);
  binaryMode(stderr);
  if (isConsole(::GetStdHandle(STD_OUTPUT_HANDLE)) || isConsole(::GetStdHandle(STD_ERROR_HANDLE)))
    setConsoleOutputCodePageForRun(CP_UTF8);
}

void endByBrokenPipe() {}
