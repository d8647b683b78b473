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

// "TPC-H Query" in UTF-16 and in UTF-32 less the zero bytes of its first
// character: in either byte order the text holds these bytes, and where the
// 'T' stands tells the order.
constexpr std::string_view kUtf16HeaderMark("T\0P\0C\0-\0H\0 \0Q\0u\0e\0r\0y", 21);
constexpr std::string_view kUtf32HeaderMark(
    "T\0\0\0P\0\0\0C\0\0\0-\0\0\0H\0\0\0 \0\0\0Q\0\0\0u\0\0\0e\0\0\0r\0\0\0y", 41);

// The signatures are the formats' own magic numbers, at the offset where
// each format has it. A zip archive starts with a file's entry, or, when
// empty or split over several files, with the end of its directory or a
// spanning mark. lzma's is its usual properties byte and a dictionary of
// whole 64 KiB, as every preset of its tools writes; lzip's includes its
// version. A tar archive has its mark in the first member's header, POSIX's
// and GNU's with their zero byte.
struct Signature {
  size_t offset;
  std::string_view bytes;
  PackedFormat format;
};
constexpr PackedFormat kZip = {"a zip archive", "unzip"};
constexpr PackedFormat kTar = {"a tar archive", "tar -xf"};
constexpr PackedFormat kBzip2 = {"a bzip2-compressed file", "bunzip2 -k"};
constexpr PackedFormat kPzstd = {
    "a zstd-compressed file (a skippable frame first, as pzstd writes)", "unzstd"};
constexpr PackedFormat kZlib = {"a zlib stream (as pigz -z writes)", "pigz -dzk"};
constexpr PackedFormat kCpio = {"a cpio archive", "cpio -id <"};
constexpr PackedFormat kAr = {"an ar archive", "ar x"};
constexpr Signature kSignatures[] = {
    {0, std::string_view("\x1f\x8b", 2), {"a gzip-compressed file", "gunzip -k"}},
    {0, std::string_view("\xfd\x37\x7a\x58\x5a\x00", 6), {"an xz-compressed file", "unxz -k"}},
    {0, std::string_view("\x5d\x00\x00", 3), {"an lzma-compressed file", "unlzma -k"}},
    {0, "LZIP\x01", {"an lzip-compressed file", "lzip -dk"}},
    {0, std::string_view("\x89LZO\x00\x0d\x0a\x1a\x0a", 9), {"an lzop-compressed file", "lzop -d"}},
    {0, "\x28\xb5\x2f\xfd", {"a zstd-compressed file", "unzstd"}},
    {0, "\x04\x22\x4d\x18", {"an lz4-compressed file", "unlz4"}},
    {0, "\x02\x21\x4c\x18", {"an lz4-compressed file (legacy format)", "unlz4"}},
    {0, "\x1f\x9d", {"a compress (.Z) file", "gunzip -k"}},
    {0, "PK\x03\x04", kZip},
    {0, "PK\x05\x06", kZip},
    {0, "PK\x07\x08", kZip},
    {0, "7z\xbc\xaf\x27\x1c", {"a 7z archive", "7z x"}},
    {257, std::string_view("ustar\0", 6), kTar},
    {257, std::string_view("ustar  \0", 8), kTar},
};
constexpr size_t kSignatureBytes = 257 + 8;  // enough for each of them and the ones below

// The signatures that a line of text could begin with, told whole by the
// header they begin. cpio's ASCII headers ("070701" and "070702", newc; and
// "070707", odc) go on with fields of hex or octal digits only: 13 fields of
// 8 and 11 of 6 or 11 respectively.
bool allOf(std::string_view bytes, size_t size, std::string_view digits) {
  return bytes.size() >= size &&
         bytes.substr(0, size).find_first_not_of(digits) == std::string_view::npos;
}
bool startsCpioArchive(std::string_view bytes) {
  if (bytes.starts_with("070701") || bytes.starts_with("070702"))
    return allOf(bytes.substr(6), 13 * 8, "0123456789abcdefABCDEF");
  return bytes.starts_with("070707") && allOf(bytes.substr(6), 70, "01234567");
}

// "!<arch>" and a line break, then the first member's 60-byte header, which
// ends with "`" and a line break; an empty archive is the first line alone.
bool startsArArchive(std::string_view bytes) {
  if (!bytes.starts_with("!<arch>\n") && !bytes.starts_with("!<thin>\n"))
    return false;
  return bytes.size() == 8 || (bytes.size() >= 8 + 60 && bytes.substr(8 + 58, 2) == "`\n");
}

// A skippable frame (its magic 0x184D2A50 to 0x184D2A5F, little-endian),
// which pzstd writes before its zstd frames.
bool startsSkippableFrame(std::string_view bytes) {
  return bytes.size() >= 4 && (bytes[0] & 0xf0) == 0x50 && bytes.substr(1, 3) == "\x2a\x4d\x18";
}

// Text holds printable ASCII, tabs and line ends; compressed data is not
// text for long.
bool isTextByte(char c) {
  return (c >= ' ' && c <= '~') || c == '\t' || c == '\n' || c == '\r';
}

// A zlib stream's header: the method deflate with a window of 32 KiB (0x78),
// a check that makes the pair a multiple of 31, and no preset dictionary.
// Text can begin so ("x^" does), so the data after it must be no text: a
// log that begins with "x^" and goes on in plain ASCII is a log.
bool startsZlibStream(std::string_view bytes) {
  if (bytes.size() < 3 || bytes[0] != 0x78)
    return false;
  unsigned flags = static_cast<unsigned char>(bytes[1]);
  if ((0x7800 + flags) % 31 != 0 || (flags & 0x20) != 0)
    return false;
  std::string_view data = bytes.substr(2, kSignatureBytes - 2);
  return !std::all_of(data.begin(), data.end(), isTextByte);
}

// bzip2 names itself with "BZh" only, which a line of text may begin with
// too: its stream goes on with the block size, a digit from 1 to 9, and the
// signature of a block or of the stream's end.
bool startsBzip2Stream(std::string_view bytes) {
  constexpr std::string_view kBlock("\x31\x41\x59\x26\x53\x59", 6);
  constexpr std::string_view kEnd("\x17\x72\x45\x38\x50\x90", 6);
  if (bytes.size() < 10 || !bytes.starts_with("BZh") || bytes[3] < '1' || bytes[3] > '9')
    return false;
  std::string_view next = bytes.substr(4, 6);
  return next == kBlock || next == kEnd;
}

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

const char* wideFamilyOf(WideEncoding encoding) {
  return encoding == WideEncoding::kUtf32LE || encoding == WideEncoding::kUtf32BE ? "UTF-32"
                                                                                  : "UTF-16";
}

const char* wideNameOf(WideEncoding encoding) {
  switch (encoding) {
    case WideEncoding::kUtf16LE:
      return "UTF-16LE";
    case WideEncoding::kUtf16BE:
      return "UTF-16BE";
    case WideEncoding::kUtf32LE:
      return "UTF-32LE";
    case WideEncoding::kUtf32BE:
      return "UTF-32BE";
    default:
      return "UTF-8";
  }
}

WideEncoding byteOrderMarkOf(std::string_view firstBytes) {
  if (firstBytes.starts_with(std::string_view("\xff\xfe\0\0", 4)))
    return WideEncoding::kUtf32LE;
  if (firstBytes.starts_with(std::string_view("\0\0\xfe\xff", 4)))
    return WideEncoding::kUtf32BE;
  if (firstBytes.starts_with("\xff\xfe"))
    return WideEncoding::kUtf16LE;
  if (firstBytes.starts_with("\xfe\xff"))
    return WideEncoding::kUtf16BE;
  return WideEncoding::kNone;
}

// iconv takes the byte order from the mark when given the encoding's name
// without one.
void refuseWideLog(const InputFile& log) {
  char first[4];
  WideEncoding encoding = byteOrderMarkOf(firstBytesOf(log, first, sizeof first));
  if (encoding == WideEncoding::kNone)
    return;
  std::string family = wideFamilyOf(encoding);
  throw Failure(log.path(), "a " + family + " log (it starts with a " + family +
                                " byte-order mark); convert it to UTF-8 first, for example "
                                "with iconv -f " +
                                family + " -t UTF-8");
}

// A line of text holds no zero byte: one search rules both marks out.
WideEncoding wideHeaderEncoding(std::string_view line, uint64_t lineOffset) {
  if (line.empty() || std::memchr(line.data(), '\0', line.size()) == nullptr)
    return WideEncoding::kNone;
  if (size_t mark = line.find(kUtf16HeaderMark); mark != line.npos)
    return (lineOffset + mark) % 2 == 0 ? WideEncoding::kUtf16LE : WideEncoding::kUtf16BE;
  // A UTF-32 character's four bytes hold the 'T' first or last; a mark at
  // the two places between is made of parts of other characters.
  for (size_t mark = line.find(kUtf32HeaderMark); mark != line.npos;
       mark = line.find(kUtf32HeaderMark, mark + 1)) {
    uint64_t place = (lineOffset + mark) % 4;
    if (place == 0)
      return WideEncoding::kUtf32LE;
    if (place == 3)
      return WideEncoding::kUtf32BE;
  }
  return WideEncoding::kNone;
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
    if (firstBytes.size() >= signature.offset &&
        firstBytes.substr(signature.offset).starts_with(signature.bytes))
      return &signature.format;
  }
  if (startsBzip2Stream(firstBytes))
    return &kBzip2;
  if (startsSkippableFrame(firstBytes))
    return &kPzstd;
  if (startsCpioArchive(firstBytes))
    return &kCpio;
  if (startsArArchive(firstBytes))
    return &kAr;
  return startsZlibStream(firstBytes) ? &kZlib : nullptr;
}

std::string firstBlockOf(const InputFile& file) {
  std::string block(kFirstBlockBytes, '\0');
  block.resize(firstBytesOf(file, block.data(), block.size()).size());
  return block;
}

void refusePackedFile(const InputFile& log) {
  char first[kSignatureBytes];
  const PackedFormat* format = packedFormatOf(firstBytesOf(log, first, sizeof first));
  if (format != nullptr)
    throw Failure(log.path(), std::string(format->name) +
                                  ", not a log; unpack it first, for example with " +
                                  format->command + " " + printableName(log.path()));
}
