#include "windows_text.h"

#include "failure.h"

namespace {

constexpr wchar_t kReplacement = 0xfffd;

bool isContinuation(unsigned char byte) {
  return (byte & 0xc0) == 0x80;
}

void appendUtf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xc0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3f));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xe0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
    out += static_cast<char>(0x80 | (code & 0x3f));
  } else {
    out += static_cast<char>(0xf0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3f));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
    out += static_cast<char>(0x80 | (code & 0x3f));
  }
}

// The columns text takes: one per character, whatever its bytes.
size_t columnsOf(std::string_view text) {
  size_t columns = 0;
  for (char c : text)
    columns += isContinuation(static_cast<unsigned char>(c)) ? 0 : 1;
  return columns;
}

bool endsWith(const std::string& text, std::string_view tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

std::wstring widen(std::string_view utf8) {
  std::wstring out;
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    auto lead = static_cast<unsigned char>(utf8[i]);
    if (lead < 0x80) {
      out += static_cast<wchar_t>(lead);
      ++i;
      continue;
    }
    size_t length = lead >= 0xc2 && lead <= 0xdf   ? 2
                    : lead >= 0xe0 && lead <= 0xef ? 3
                    : lead >= 0xf0 && lead <= 0xf4 ? 4
                                                   : 0;
    char32_t code = length == 2 ? lead & 0x1f : length == 3 ? lead & 0x0f : lead & 0x07;
    size_t got = 1;
    while (length != 0 && got < length && i + got < utf8.size() &&
           isContinuation(static_cast<unsigned char>(utf8[i + got]))) {
      code = (code << 6) | (static_cast<unsigned char>(utf8[i + got]) & 0x3f);
      ++got;
    }
    // Overlong forms and values past U+10FFFF are no characters.
    bool valid = length != 0 && got == length && !(length == 3 && code < 0x800) &&
                 !(length == 4 && (code < 0x10000 || code > 0x10ffff));
    if (!valid) {
      out += kReplacement;
      ++i;
      continue;
    }
    if (code >= 0x10000) {
      code -= 0x10000;
      out += static_cast<wchar_t>(0xd800 + (code >> 10));
      out += static_cast<wchar_t>(0xdc00 + (code & 0x3ff));
    } else {
      out += static_cast<wchar_t>(code);
    }
    i += length;
  }
  return out;
}

std::string narrow(std::wstring_view utf16) {
  std::string out;
  out.reserve(utf16.size());
  for (size_t i = 0; i < utf16.size(); ++i) {
    char32_t unit = static_cast<char16_t>(utf16[i]);
    if (unit >= 0xd800 && unit <= 0xdbff && i + 1 < utf16.size()) {
      char32_t next = static_cast<char16_t>(utf16[i + 1]);
      if (next >= 0xdc00 && next <= 0xdfff) {
        appendUtf8(out, 0x10000 + ((unit - 0xd800) << 10) + (next - 0xdc00));
        ++i;
        continue;
      }
    }
    appendUtf8(out, unit);
  }
  return out;
}

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

bool identifyFile(HANDLE handle, FileStamp& stamp) {
  FILE_ID_INFO id;
  if (::GetFileInformationByHandleEx(handle, FileIdInfo, &id, sizeof id) != 0) {
    uint64_t low = 0;
    uint64_t high = 0;
    for (int i = 0; i < 8; ++i) {
      low |= uint64_t{id.FileId.Identifier[i]} << (8 * i);
      high |= uint64_t{id.FileId.Identifier[8 + i]} << (8 * i);
    }
    stamp.volume = id.VolumeSerialNumber;
    stamp.fileId = low ^ high;
    return true;
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (::GetFileInformationByHandle(handle, &info) == 0)
    return false;
  stamp.volume = info.dwVolumeSerialNumber;
  stamp.fileId = (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  return true;
}

std::string LineErasure::translate(std::string_view text, int width) {
  constexpr std::string_view kErase = "\x1b[K";
  const size_t lastColumn = static_cast<size_t>(width > 0 ? width : 80) - 1;
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    if (text.substr(i, kErase.size()) == kErase) {
      size_t column = columnsOf(line_);
      if (column < lastColumn)
        out.append(lastColumn - column, ' ');
      out += '\r';
      out += line_;
      i += kErase.size();
      continue;
    }
    char c = text[i++];
    out += c;
    if (c == '\r' || c == '\n')
      line_.clear();
    else
      line_ += c;
  }
  return out;
}
