// The console on Windows: whether a handle is one, and the changes the
// programs make to it for a run.
//
// A console's output code page and modes outlive the program that set them,
// and the shell the user goes on with has its own expectations. Every
// change made here is undone at exit (a return from main or std::exit) and
// when the run is ended by Ctrl+C or Ctrl+Break, or by the console window
// closing.

#ifndef STREAMTRIM_CONSOLE_WINDOWS_H
#define STREAMTRIM_CONSOLE_WINDOWS_H

#include <string_view>

#include "system/windows/windows_api.h"

// Whether handle is a console. A console opened for writing only may not
// answer GetConsoleMode, but takes console writes, which other devices
// refuse.
bool isConsole(HANDLE handle);

// Whether a file opened at path may be a console: the names of the console
// devices (CON, CONIN$, CONOUT$) in any folder, with any extension, and in
// the device namespace (\\.\CONOUT$). Paths in the pipe namespace and other
// UNC paths never are, so that a pipe is never opened to ask.
bool mayNameConsole(std::wstring_view path);

// Sets the console's output code page for the run; false when it is refused.
bool setConsoleOutputCodePageForRun(UINT codePage);

// Adds flags to the mode of console for the run; false when the console
// refuses them, as consoles before Windows 10 refuse
// ENABLE_VIRTUAL_TERMINAL_PROCESSING.
bool addConsoleModeForRun(HANDLE console, DWORD flags);

// Undoes the changes made for the run, the last first, once the C library
// has written what it still holds in the code page it was meant for. Called
// at exit and on an interrupt, from any thread; once is enough.
void restoreConsole();

#endif  // STREAMTRIM_CONSOLE_WINDOWS_H
