#include "system/windows/system_error_windows.h"

#include <string_view>

#include "system/failure.h"

namespace {

bool endsWith(const std::string& text, std::string_view tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

std::string systemMessage(DWORD error) {
  wchar_t* text = nullptr;
  DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message = text != nullptr ? narrow(std::wstring_view(text, length)) : "";
  if (text != nullptr)
    ::LocalFree(text);
  // A message of several lines becomes one, its line breaks spaces.
  std::string line;
  for (char c : message) {
    bool space = c == '\r' || c == '\n' || c == '\t' || c == ' ';
    if (!space)
      line += c;
    else if (!line.empty() && line.back() != ' ')
      line += ' ';
  }
  while (!line.empty() && line.back() == ' ')
    line.pop_back();
  if (endsWith(line, "."))
    line.pop_back();
  else if (endsWith(line, "\xe3\x80\x82"))  // the ideographic full stop
    line.resize(line.size() - 3);
  if (line.empty())
    return "system error " + std::to_string(error);
  return line;
}

void failWithSystemError(const std::string& subject, DWORD error) {
  // A pipe whose reader has gone: ERROR_NO_DATA from Windows' own pipes,
  // ERROR_PIPE_NOT_CONNECTED from others (wine's, for one, on a POSIX pipe).
  if (error == ERROR_NO_DATA || error == ERROR_BROKEN_PIPE || error == ERROR_PIPE_NOT_CONNECTED)
    throw BrokenPipe(subject, systemMessage(error));
  throw Failure(subject, systemMessage(error));
}
