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

TEST(LogFormat, Utf16HeaderMarkIsFoundWithItsByteOrder) {
  const std::string le = utf16("-- TPC-H Query 16", false), be = utf16("-- TPC-H Query 16", true);
  struct Case {
    std::string line;
    uint64_t offset;
    Utf16Order order;
  };
  const Case cases[] = {
      {le, 0, Utf16Order::kLittleEndian},
      {be, 0, Utf16Order::kBigEndian},
      {std::string(1, '\0') + le, 7, Utf16Order::kLittleEndian},  // after "\n\0" at offset 5
      {be.substr(0, be.size() - 2), 0, Utf16Order::kBigEndian},   // the number is no part of it
      {utf16("-- TPC-H Quer", false), 0, Utf16Order::kNone},
      {"-- TPC-H Query 16", 0, Utf16Order::kNone},
  };
  for (const Case& c : cases)
    EXPECT_EQ(utf16HeaderOrder(c.line, c.offset), c.order) << c.offset << " " << c.line.size();
}

TEST(LogFormat, PackedFormatsAreToldByTheirWholeSignature) {
  const std::pair<std::string, const char*> signatures[] = {
      {"\x1f\x8b", "gzip"},
      {"BZh", "bzip2"},
      {std::string("\xfd\x37\x7a\x58\x5a\x00", 6), "xz"},
      {"\x28\xb5\x2f\xfd", "zstd"},
      {"\x04\x22\x4d\x18", "lz4"},
      {"PK\x03\x04", "zip"},
      {"PK\x05\x06", "zip"},
      {"PK\x07\x08", "zip"},
      {"7z\xbc\xaf\x27\x1c", "7z"},
  };
  for (const auto& [signature, name] : signatures) {
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
  EXPECT_EQ(packedFormatOf("-- TPC-H Query 1\n"), nullptr);
  EXPECT_EQ(packedFormatOf(""), nullptr);
}
