#include "checker/problem_text.h"

#include <algorithm>

namespace {

constexpr size_t kShown = 60;
constexpr size_t kBeforeDifference = 20;

std::string quotedFrom(std::string_view text, size_t start) {
  std::string out = start > 0 ? "...\"" : "\"";
  size_t end = std::min(text.size(), start + kShown);
  for (size_t i = start; i < end; ++i) {
    auto c = static_cast<unsigned char>(text[i]);
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '"' || c == '\\') {
      out += {'\\', static_cast<char>(c)};
    } else if (c >= 0x20 && c < 0x7f) {
      out += static_cast<char>(c);
    } else {
      constexpr char kHex[] = "0123456789abcdef";
      out += {'\\', 'x', kHex[c >> 4], kHex[c & 15]};
    }
  }
  out += end < text.size() ? "\"..." : "\"";
  return out;
}

}  // namespace

std::string quotedLine(std::string_view text) {
  return quotedFrom(text, 0);
}

std::string quotedDifference(std::string_view expected, std::string_view found) {
  size_t differ = static_cast<size_t>(
      std::mismatch(expected.begin(), expected.end(), found.begin(), found.end()).first -
      expected.begin());
  size_t start = differ < kShown - kBeforeDifference ? 0 : differ - kBeforeDifference;
  return quotedFrom(expected, start) + ", found " + quotedFrom(found, start);
}
