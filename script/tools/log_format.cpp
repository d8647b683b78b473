#include "log_format.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

constexpr std::string_view kHeaderMark = "TPC-H Query";
constexpr std::string_view kSeparatorMark = "===";

bool isAsciiSpace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

}  // namespace

bool isHeaderLine(std::string_view line) {
  return line.find(kHeaderMark) != line.npos;
}

bool isSeparatorLine(std::string_view line) {
  return line.find(kSeparatorMark) != line.npos;
}

bool isRowLine(std::string_view line) {
  return std::memchr(line.data(), '|', line.size()) != nullptr;
}

int32_t queryNumberOf(std::string_view headerLine) {
  size_t mark = headerLine.find(kHeaderMark);
  if (mark == headerLine.npos)
    return 0;
  size_t pos = mark + kHeaderMark.size() + 1;  // skip the separating character
  std::string_view rest = pos < headerLine.size() ? headerLine.substr(pos) : std::string_view();

  size_t i = 0;
  while (i < rest.size() && isAsciiSpace(rest[i]))
    ++i;
  bool negative = false;
  if (i < rest.size() && (rest[i] == '+' || rest[i] == '-'))
    negative = rest[i++] == '-';

  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  int64_t magnitude = 0;
  for (; i < rest.size() && rest[i] >= '0' && rest[i] <= '9'; ++i) {
    magnitude = std::min(magnitude * 10 + (rest[i] - '0'), kLimit);
  }
  int64_t value = negative ? -magnitude : std::min(magnitude, kLimit - 1);
  return static_cast<int32_t>(value);
}
