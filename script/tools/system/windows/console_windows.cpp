#include "system/windows/console_windows.h"

#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <mutex>
#include <string>
#include <vector>

namespace {

// An interrupt is handled on a thread of its own, maybe while main exits.
std::mutex changesMutex;
UINT originalCodePage = 0;  // 0 while the code page is untouched
struct ModeChange {
  HANDLE console;
  DWORD original;
};
std::vector<ModeChange> modeChanges;
bool restoreHooked = false;

BOOL WINAPI restoreOnInterrupt(DWORD) {
  restoreConsole();
  return FALSE;  // the next handler, by default the one ending the process, runs as well
}

// With changesMutex held, before the first change: at exit, the C library
// flushes its streams only after the functions given to atexit have run.
void hookRestore() {
  if (restoreHooked)
    return;
  restoreHooked = true;
  std::atexit(restoreConsole);
  ::SetConsoleCtrlHandler(restoreOnInterrupt, TRUE);
}

}  // namespace

bool isConsole(HANDLE handle) {
  DWORD mode;
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE)
    return false;
  if (::GetConsoleMode(handle, &mode) != 0)
    return true;
  DWORD written;
  return ::GetFileType(handle) == FILE_TYPE_CHAR &&
         ::WriteConsoleW(handle, L"", 0, &written, nullptr) != 0;
}

bool mayNameConsole(std::wstring_view path) {
  std::wstring name(path);
  for (wchar_t& c : name)
    c = c == L'/' ? L'\\' : static_cast<wchar_t>(std::towlower(c));
  auto isConsoleDevice = [](std::wstring_view device) {
    return device == L"con" || device == L"conin$" || device == L"conout$";
  };
  // \\.\ and \\?\ name a device as it is, without the folders and
  // extensions of DOS names; any other path starting with two backslashes is
  // a UNC path, a pipe's among them.
  if (name.starts_with(L"\\\\"))
    return (name.starts_with(L"\\\\.\\") || name.starts_with(L"\\\\?\\")) &&
           isConsoleDevice(std::wstring_view(name).substr(4));
  std::wstring_view last = name;
  last.remove_prefix(last.find_last_of(L"\\") + 1);  // npos + 1 is 0
  if (last.size() >= 2 && last[1] == L':')           // a drive's current folder: C:con
    last.remove_prefix(2);
  last = last.substr(0, last.find(L'.'));
  while (!last.empty() && (last.back() == L' ' || last.back() == L':'))
    last.remove_suffix(1);
  return isConsoleDevice(last);
}

bool setConsoleOutputCodePageForRun(UINT codePage) {
  std::lock_guard<std::mutex> lock(changesMutex);
  UINT current = ::GetConsoleOutputCP();
  if (current == 0)
    return false;
  if (current == codePage)
    return true;
  hookRestore();
  if (::SetConsoleOutputCP(codePage) == 0)
    return false;
  if (originalCodePage == 0)
    originalCodePage = current;
  return true;
}

bool addConsoleModeForRun(HANDLE console, DWORD flags) {
  std::lock_guard<std::mutex> lock(changesMutex);
  DWORD mode;
  if (::GetConsoleMode(console, &mode) == 0)
    return false;
  if ((mode & flags) == flags)
    return true;
  hookRestore();
  if (::SetConsoleMode(console, mode | flags) == 0)
    return false;
  modeChanges.push_back({console, mode});
  return true;
}

void restoreConsole() {
  std::fflush(nullptr);
  std::lock_guard<std::mutex> lock(changesMutex);
  for (auto change = modeChanges.rbegin(); change != modeChanges.rend(); ++change)
    ::SetConsoleMode(change->console, change->original);
  modeChanges.clear();
  if (originalCodePage != 0)
    ::SetConsoleOutputCP(originalCodePage);
  originalCodePage = 0;
}
