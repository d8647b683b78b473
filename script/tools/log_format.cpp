#include "log_format.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "failure.h"

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

bool startsWithUtf16ByteOrderMark(std::string_view firstBytes) {
  return firstBytes.starts_with("\xff\xfe") || firstBytes.starts_with("\xfe\xff");
}

void refuseUtf16Log(const InputFile& log) {
  char first[2];
  size_t got = 0;
  for (size_t n = 1; got < sizeof first && n != 0; got += n)
    n = log.readAt(got, first + got, sizeof first - got);
  if (startsWithUtf16ByteOrderMark(std::string_view(first, got)))
    throw Failure(log.path(),
                  "a UTF-16 log (it starts with a UTF-16 byte-order mark); convert it to UTF-8 "
                  "first, for example with iconv -f UTF-16 -t UTF-8");
}
