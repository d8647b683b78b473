#include "problem_text.h"

std::string quoted(std::string_view text) {
  constexpr size_t kShown = 60;
  std::string out = "\"";
  for (size_t i = 0; i < text.size() && i < kShown; ++i) {
    auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c < 0x7f && c != '"' && c != '\\') {
      out += static_cast<char>(c);
    } else {
      constexpr char kHex[] = "0123456789abcdef";
      out += {'\\', 'x', kHex[c >> 4], kHex[c & 15]};
    }
  }
  out += text.size() > kShown ? "\"..." : "\"";
  return out;
}
