// system/windows/: system/'s interfaces on Windows.
//
// The Windows API as the tool's Windows files use it: <windows.h> without
// what they do not need, and strings converted between the tool's UTF-8 and
// the API's UTF-16 (utf16.h).

#ifndef STREAMTRIM_WINDOWS_API_H
#define STREAMTRIM_WINDOWS_API_H

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>
#include <string_view>

#include "system/utf16.h"

// A UTF-8 string of the tool's as the API takes it.
inline std::wstring widen(std::string_view utf8) {
  std::u16string text = toUtf16(utf8);
  return std::wstring(text.begin(), text.end());
}

// A string of the API's in UTF-8.
inline std::string narrow(std::wstring_view utf16) {
  return toUtf8(std::u16string(utf16.begin(), utf16.end()));
}

#endif  // STREAMTRIM_WINDOWS_API_H
