#include "log/log_format.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "system/failure.h"

namespace {

constexpr std::string_view kHeaderMark = "TPC-H Query";
constexpr std::string_view kSeparatorMark = "===";
constexpr std::string_view kMarkerBefore = "----------- deleted ";
constexpr std::string_view kMarkerAfter = " rows -----------";

// "TPC-H Query" in UTF-16 less the zero byte of its first character: in
// either byte order the text holds these bytes, and where the 'T' stands
// tells the order.
constexpr std::string_view kUtf16HeaderMark("T\0P\0C\0-\0H\0 \0Q\0u\0e\0r\0y", 21);

// The signatures are the formats' own magic numbers. A zip archive starts
// with a file's entry, or, when empty or split over several files, with the
// end of its directory or a spanning mark.
struct Signature {
  std::string_view bytes;
  PackedFormat format;
};
constexpr PackedFormat kZip = {"a zip archive", "unzip"};
constexpr Signature kSignatures[] = {
    {std::string_view("\x1f\x8b", 2), {"a gzip-compressed file", "gunzip -k"}},
    {"BZh", {"a bzip2-compressed file", "bunzip2 -k"}},
    {std::string_view("\xfd\x37\x7a\x58\x5a\x00", 6), {"an xz-compressed file", "unxz -k"}},
    {"\x28\xb5\x2f\xfd", {"a zstd-compressed file", "unzstd"}},
    {"\x04\x22\x4d\x18", {"an lz4-compressed file", "unlz4"}},
    {"PK\x03\x04", kZip},
    {"PK\x05\x06", kZip},
    {"PK\x07\x08", kZip},
    {"7z\xbc\xaf\x27\x1c", {"a 7z archive", "7z x"}},
};
constexpr size_t kLongestSignature = 6;

bool isAsciiSpace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

// The log's first size bytes, fewer only when the log is shorter, read into
// buffer.
std::string_view firstBytesOf(const InputFile& log, char* buffer, size_t size) {
  size_t got = 0;
  for (size_t n = 1; got < size && n != 0; got += n)
    n = log.readAt(got, buffer + got, size - got);
  return std::string_view(buffer, got);
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
  if (startsWithUtf16ByteOrderMark(firstBytesOf(log, first, sizeof first)))
    throw Failure(log.path(),
                  "a UTF-16 log (it starts with a UTF-16 byte-order mark); convert it to UTF-8 "
                  "first, for example with iconv -f UTF-16 -t UTF-8");
}

Utf16Order utf16HeaderOrder(std::string_view line, uint64_t lineOffset) {
  size_t mark = line.find(kUtf16HeaderMark);
  if (mark == line.npos)
    return Utf16Order::kNone;
  // Without a byte-order mark the text's two-byte units start at even
  // offsets: a 'T' there is the first byte of its unit.
  return (lineOffset + mark) % 2 == 0 ? Utf16Order::kLittleEndian : Utf16Order::kBigEndian;
}

bool isDeletionMarkerLine(std::string_view line) {
  if (line.size() <= kMarkerBefore.size() + kMarkerAfter.size() ||
      !line.starts_with(kMarkerBefore) || !line.ends_with(kMarkerAfter))
    return false;
  std::string_view digits = line.substr(kMarkerBefore.size());
  digits.remove_suffix(kMarkerAfter.size());
  if (digits[0] == '0' && digits.size() > 1)
    return false;
  return std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
}

const PackedFormat* packedFormatOf(std::string_view firstBytes) {
  for (const Signature& signature : kSignatures) {
    if (firstBytes.starts_with(signature.bytes))
      return &signature.format;
  }
  return nullptr;
}

void refusePackedFile(const InputFile& log) {
  char first[kLongestSignature];
  const PackedFormat* format = packedFormatOf(firstBytesOf(log, first, sizeof first));
  if (format != nullptr)
    throw Failure(log.path(), std::string(format->name) +
                                  ", not a log; unpack it first, for example with " +
                                  format->command + " " + printableName(log.path()));
}
