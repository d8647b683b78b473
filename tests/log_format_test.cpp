#include "log/log_format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <utility>

#include "stream_log.h"

TEST(LogFormat, RecognisesMarksAnywhereCaseSensitively) {
  EXPECT_TRUE(isHeaderLine("TPC-H Query 11"));
  EXPECT_TRUE(isHeaderLine("  -- start TPC-H Query 3 (stream 1)"));
  EXPECT_FALSE(isHeaderLine("tpc-h query 11"));
  EXPECT_FALSE(isHeaderLine("TPC-H  Query 11"));
  EXPECT_FALSE(isHeaderLine(""));

  EXPECT_TRUE(isSeparatorLine("==="));
  EXPECT_TRUE(isSeparatorLine("-----+===+-----"));
  EXPECT_FALSE(isSeparatorLine("== ="));
  EXPECT_FALSE(isSeparatorLine(""));

  EXPECT_TRUE(isRowLine("|"));
  EXPECT_TRUE(isRowLine("a | b"));
  EXPECT_TRUE(isRowLine(std::string("\0|", 2)));  // a zero byte does not end the line
  EXPECT_FALSE(isRowLine("a ! b"));
  EXPECT_FALSE(isRowLine(""));
}

TEST(LogFormat, QueryNumberIsReadAfterTheFirstHeaderMark) {
  constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
  constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
  struct Case {
    std::string line;
    int32_t expected;
  };
  const Case cases[] = {
      {"TPC-H Query 7", 7},
      {"TPC-H Query 16 (stream 0, run 1)", 16},
      {"TPC-H Query 123", 123},
      {"TPC-H Query  20", 20},   // the second blank is skipped as white space
      {"TPC-H Query \t 9x", 9},  // so are tabs, and reading stops at a non-digit
      {"TPC-H Query:11", 11},    // any character separates
      {"TPC-H Query11", 1},      // the separating character is skipped even if a digit
      {"TPC-H Query", 0},        // nothing after the mark
      {"TPC-H Query ", 0},       // nothing after the separating character
      {"Query 5 then TPC-H Query 12", 12},
      {"TPC-H Query 3 and TPC-H Query 4", 3},
      {"TPC-H Query -4", -4},
      {"TPC-H Query +8", 8},
      {"TPC-H Query - 8", 0},  // no blank allowed between sign and digits
      {"TPC-H Query abc", 0},
      {"TPC-H Query 007", 7},
      {"TPC-H Query 2147483647", kMax},
      {"TPC-H Query 2147483648", kMax},
      {"TPC-H Query 99999999999999999999999", kMax},
      {"TPC-H Query -2147483648", kMin},
      {"TPC-H Query -2147483649", kMin},
      {"TPC-H Query -99999999999999999999999", kMin},
      {"no header here 5", 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(queryNumberOf(c.line), c.expected) << '"' << c.line << '"';
}

TEST(LogFormat, DeletionMarkerLineIsExactlyTheCuttersMiddleLine) {
  const std::pair<std::string, bool> cases[] = {
      {"----------- deleted 18 rows -----------", true},
      {"----------- deleted 0 rows -----------", true},
      {"----------- deleted  rows -----------", false},     // no count
      {"----------- deleted 018 rows -----------", false},  // a leading zero
      {"----------- deleted 1x rows -----------", false},
      {"----------- deleted 18 rows ----------- ", false},  // other text after it
      {" ----------- deleted 18 rows -----------", false},  // or before it
      {"----------- deleted 18 rows -----------\r", false},
      {"---------- deleted 18 rows -----------", false},  // a dash short
      {"----------- deleted 18 row -----------", false},
  };
  for (const auto& [line, marker] : cases)
    EXPECT_EQ(isDeletionMarkerLine(line), marker) << '"' << line << '"';
}

TEST(LogFormat, WideHeaderMarkIsFoundWithItsEncoding) {
  const std::string le = utf16("-- TPC-H Query 16", false), be = utf16("-- TPC-H Query 16", true);
  const std::string le32 = utf32("-- TPC-H Query 16", false),
                    be32 = utf32("-- TPC-H Query 16", true);
  struct Case {
    std::string line;
    uint64_t offset;
    WideEncoding encoding;
  };
  const Case cases[] = {
      {le, 0, WideEncoding::kUtf16LE},
      {be, 0, WideEncoding::kUtf16BE},
      {std::string(1, '\0') + le, 7, WideEncoding::kUtf16LE},    // after "\n\0" at offset 5
      {be.substr(0, be.size() - 2), 0, WideEncoding::kUtf16BE},  // the number is no part of it
      {utf16("-- TPC-H Quer", false), 0, WideEncoding::kNone},
      {"-- TPC-H Query 16", 0, WideEncoding::kNone},
      {le32, 0, WideEncoding::kUtf32LE},
      {be32, 0, WideEncoding::kUtf32BE},
      {std::string(3, '\0') + le32, 9, WideEncoding::kUtf32LE},  // after "\n\0\0\0" at offset 8
      {std::string(3, '\0') + be32, 5, WideEncoding::kUtf32BE},
      {le32, 2, WideEncoding::kNone},  // the 'T' amid a character: no UTF-32
      {le32, 1, WideEncoding::kNone},
      {le32.substr(0, le32.size() - 15), 0, WideEncoding::kUtf32LE},  // up to the "y"
      {utf32("-- TPC-H Quer", true), 0, WideEncoding::kNone},
  };
  for (const Case& c : cases)
    EXPECT_EQ(wideHeaderEncoding(c.line, c.offset), c.encoding) << c.offset << " " << c.line.size();
}

TEST(LogFormat, ByteOrderMarksNameTheirEncoding) {
  const std::pair<std::string, WideEncoding> cases[] = {
      {"\xff\xfe-\0", WideEncoding::kUtf16LE},
      {"\xfe\xff\0-", WideEncoding::kUtf16BE},
      {std::string("\xff\xfe\0\0-\0\0\0", 8), WideEncoding::kUtf32LE},
      {std::string("\0\0\xfe\xff\0\0\0-", 8), WideEncoding::kUtf32BE},
      {"\xff\xfe", WideEncoding::kUtf16LE},
      {std::string("\xff\xfe\0", 3), WideEncoding::kUtf16LE},  // a byte short of UTF-32's
      {std::string("\0\0\xfe", 3), WideEncoding::kNone},
      {std::string("\0\xfe\xff", 3), WideEncoding::kNone},
      {"\xef\xbb\xbf-- TPC-H Query 1", WideEncoding::kNone},  // UTF-8's
      {"\xff", WideEncoding::kNone},
      {"", WideEncoding::kNone},
  };
  for (const auto& [start, encoding] : cases)
    EXPECT_EQ(byteOrderMarkOf(start), encoding) << start.size();
}

TEST(LogFormat, PackedFormatsAreToldByTheirWholeSignature) {
  for (const auto& [signature, name] : kPackedSignatures) {
    SCOPED_TRACE(name);
    const PackedFormat* format = packedFormatOf(signature + "rest of the file");
    ASSERT_NE(format, nullptr);
    EXPECT_NE(std::string(format->name).find(std::string(" ") + name), std::string::npos)
        << format->name;
    EXPECT_EQ(packedFormatOf(signature.substr(0, signature.size() - 1)), nullptr);
    std::string changed = signature;
    changed.back() = static_cast<char>(changed.back() ^ 1);
    EXPECT_EQ(packedFormatOf(changed), nullptr);
  }
  // Text that begins as a signature does.
  const std::string nearMisses[] = {
      "-- TPC-H Query 1\n",
      "",
      "BZh is a heading\n",
      "BZh0\x31\x41\x59\x26\x53\x59",  // no block size 0
      "BZh:\x31\x41\x59\x26\x53\x59",
      "BZh9\x31\x41\x59\x26\x53",  // a byte short
      "LZIP archive\n",
      std::string(257, 'n') + "ustard and more text\n",
      std::string(256, 'n') + std::string("ustar\0", 6),  // a byte early
      std::string(258, 'n') + std::string("ustar\0", 6),  // a byte late
      "]\n",
      "x rows selected\n",                      // a zlib check that holds, with a preset dictionary
      "x^ and the rest in plain ASCII\n",       // zlib's header for text alone
      "x \xc3\xa4 in UTF-8\n",                  // "x " is zlib's header with a preset dictionary
      "x\x9d\xcb\x48",                          // the check a one off
      "070701 rows\n",                          // cpio's mark without its header
      "070701" + std::string(103, '0') + "\n",  // a digit short
      "070707" + std::string(69, '7') + "8",    // a digit not octal
      "!<arch> is text\n",
      "!<arch>\n" + std::string(57, ' ') + "`\n",  // the member's header a byte short
  };
  for (const std::string& text : nearMisses)
    EXPECT_EQ(packedFormatOf(text), nullptr) << text.substr(0, 12);
}

// The signatures that the table of packed formats cannot flip a byte of.
TEST(LogFormat, SignaturesThatTextCouldBeginWithAreToldByWhatFollows) {
  const std::pair<std::string, const char*> cases[] = {
      {"x\x9c\xcb\x48", "zlib"},  // pigz -z's default level
      {"x\xda\x01", "zlib"},
      {"x\x01\x8b", "zlib"},
      {"x^\xcb\x48", "zlib"},
      {"x^" + std::string(250, 'a') + "\x8b", "zlib"},     // binary within the signature's bytes
      {"070707" + std::string(70, '7') + "name", "cpio"},  // odc's header
      {"!<arch>\n", "ar"},                                 // an empty archive
      {"!<thin>\n" + std::string(58, ' ') + "`\n", "ar"},
  };
  for (const auto& [start, name] : cases) {
    SCOPED_TRACE(name);
    const PackedFormat* format = packedFormatOf(start);
    ASSERT_NE(format, nullptr) << start.substr(0, 12);
    EXPECT_NE(std::string(format->name).find(std::string(" ") + name), std::string::npos);
  }
  // Past the bytes a signature is looked for in, text decides nothing.
  EXPECT_EQ(packedFormatOf("x^" + std::string(300, 'a') + "\x8b"), nullptr);
}
