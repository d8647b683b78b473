#include "system/utf16.h"

namespace {

constexpr char16_t kReplacement = 0xfffd;

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

}  // namespace

std::u16string toUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    auto lead = static_cast<unsigned char>(utf8[i]);
    if (lead < 0x80) {
      out += static_cast<char16_t>(lead);
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
      out += static_cast<char16_t>(0xd800 + (code >> 10));
      out += static_cast<char16_t>(0xdc00 + (code & 0x3ff));
    } else {
      out += static_cast<char16_t>(code);
    }
    i += length;
  }
  return out;
}

std::string toUtf8(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size());
  for (size_t i = 0; i < utf16.size(); ++i) {
    char32_t unit = utf16[i];
    if (unit >= 0xd800 && unit <= 0xdbff && i + 1 < utf16.size()) {
      char32_t next = utf16[i + 1];
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
