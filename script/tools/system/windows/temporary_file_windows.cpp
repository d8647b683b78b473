#include "system/windows/temporary_file_windows.h"

#include <cstdint>

namespace {

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

}  // namespace

HANDLE createTemporaryFile(const std::wstring& target, std::wstring& path, DWORD& error) {
  std::wstring prefix = temporaryPrefix(target);
  error = 0;
  for (int attempt = 0; attempt < kNamesTried; ++attempt) {
    std::wstring candidate = prefix;
    candidate += uniqueLetters(attempt);
    HANDLE handle = ::CreateFileW(candidate.c_str(), GENERIC_WRITE | DELETE,
                                  FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      path = candidate;
      error = 0;
      return handle;
    }
    error = ::GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
      break;
  }
  return INVALID_HANDLE_VALUE;
}
