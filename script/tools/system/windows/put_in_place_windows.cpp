#include "system/windows/put_in_place_windows.h"

#include "system/windows/system_error_windows.h"

namespace {

// How often, and how far apart, putting the replacement in place is tried
// while another program holds the output for a moment.
constexpr int kPlacingAttempts = 20;
constexpr DWORD kPlacingPauseMs = 50;

}  // namespace

// Each failure that means the path changed since the last look turns to
// the other call, and one that means another program holds the output for
// a moment is tried again after a pause.
void putInPlace(const std::wstring& temporary, const std::wstring& target, bool exists,
                const std::string& name) {
  DWORD error = 0;
  for (int attempt = 0; attempt < kPlacingAttempts; ++attempt) {
    if (exists) {
      if (::ReplaceFileW(target.c_str(), temporary.c_str(), nullptr,
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
      if (::MoveFileExW(temporary.c_str(), target.c_str(), 0) != 0)
        return;
      error = ::GetLastError();
      if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS)
        break;
      exists = true;
    }
  }
  failWithSystemError(name, error);
}
