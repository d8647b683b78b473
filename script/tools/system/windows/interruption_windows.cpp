// Interruptions on Windows: Ctrl+C, Ctrl+Break, closing the console, and
// the logoff and shutdown a console program hears of alike.
//
// The handler runs on a thread the system starts for the event. It takes
// the lock the main program holds over steps that must not be cut in two
// (interruption_windows.h) and keeps it: the main program may go on until
// the process ends, but it never again creates or puts in place a file. It
// removes the temporary file, blanks the status line's row, and returns
// FALSE, so that the next handler runs and in the end the system's own,
// which ends the process as the event does (status STATUS_CONTROL_C_EXIT).
//
// The row is blanked with the console's own functions, not with an escape
// sequence: console_windows.cpp's handler, registered later and so called
// first, has put the console's modes back by then, escape processing off.
//
// A Ctrl+C that whoever started the program chose to ignore (a process
// started in a new process group, or after SetConsoleCtrlHandler(NULL,
// TRUE)) reaches no handler: it stays ignored, as the system decides.

#include <atomic>
#include <mutex>
#include <string>

#include "system/interruption.h"
#include "system/windows/interruption_windows.h"
#include "system/windows/windows_api.h"

namespace {

// Held by the handler once it runs, and by the main program over each step
// that InterruptionsHeld guards; recursive, because such a step ends by
// withdrawing its file from removal, which takes the lock again.
std::recursive_mutex handling;
std::wstring fileToRemove;  // guarded by handling; empty when none
std::atomic<bool> statusLineShown{false};

// Replaces the row the cursor is on by blanks and puts the cursor at its
// start: the status line leaves the cursor on its own row.
void blankStatusRow(HANDLE console) {
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (::GetConsoleScreenBufferInfo(console, &info) == 0)
    return;
  COORD start = {0, info.dwCursorPosition.Y};
  DWORD written = 0;
  ::FillConsoleOutputCharacterW(console, L' ', static_cast<DWORD>(info.dwSize.X), start, &written);
  ::SetConsoleCursorPosition(console, start);
}

BOOL WINAPI onInterruption(DWORD) {
  handling.lock();  // never unlocked: the process ends
  if (!fileToRemove.empty())
    ::DeleteFileW(fileToRemove.c_str());
  if (statusLineShown.load())
    blankStatusRow(::GetStdHandle(STD_ERROR_HANDLE));
  return FALSE;
}

}  // namespace

void handleInterruptions() {
  ::SetConsoleCtrlHandler(onInterruption, TRUE);
}

RemovedOnInterruption::RemovedOnInterruption(const std::string& path) : path_(path) {
  std::lock_guard<std::recursive_mutex> lock(handling);
  fileToRemove = widen(path_);
}

RemovedOnInterruption::~RemovedOnInterruption() {
  std::lock_guard<std::recursive_mutex> lock(handling);
  fileToRemove.clear();
}

void setStatusLineShown(bool shown) {
  statusLineShown.store(shown);
}

InterruptionsHeld::InterruptionsHeld() {
  handling.lock();
}

InterruptionsHeld::~InterruptionsHeld() {
  handling.unlock();
}
