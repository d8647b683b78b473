// Query-stream logs for the end-to-end tests, built in memory, and a reader
// for the cut tables that streamtrim writes.
//
// Every row's text ends with its own row number, so a test can tell from a
// kept row's text which input row it really is. Header-only: the test build
// links only the test files and test_support.cpp.

#ifndef STREAMTRIM_STREAM_LOG_H
#define STREAMTRIM_STREAM_LOG_H

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// ASCII text in UTF-16 of either byte order, without a byte-order mark, as a
// log saved so holds it.
inline std::string utf16(const std::string& text, bool bigEndian) {
  std::string units;
  for (char c : text)
    units += bigEndian ? std::string{'\0', c} : std::string{c, '\0'};
  return units;
}

// ASCII text in UTF-32 of either byte order, without a byte-order mark.
inline std::string utf32(const std::string& text, bool bigEndian) {
  std::string units;
  for (char c : text)
    units += bigEndian ? std::string{'\0', '\0', '\0', c} : std::string{c, '\0', '\0', '\0'};
  return units;
}

// The signature of each packed format that is no log, at its offset (tar's
// after its first member's name and fields), and the format's name.
inline const std::pair<std::string, const char*> kPackedSignatures[] = {
    {"\x1f\x8b", "gzip"},
    {"BZh9\x31\x41\x59\x26\x53\x59", "bzip2"},  // a block
    {"BZh1\x17\x72\x45\x38\x50\x90", "bzip2"},  // an empty stream
    {std::string("\xfd\x37\x7a\x58\x5a\x00", 6), "xz"},
    {std::string("\x5d\x00\x00", 3), "lzma"},
    {"LZIP\x01", "lzip"},
    {std::string("\x89LZO\x00\x0d\x0a\x1a\x0a", 9), "lzop"},
    {"\x28\xb5\x2f\xfd", "zstd"},
    {"\x04\x22\x4d\x18", "lz4"},
    {"\x02\x21\x4c\x18", "lz4"},   // the legacy format
    {"\x50\x2a\x4d\x18", "zstd"},  // a skippable frame first, as pzstd writes
    {"\x5f\x2a\x4d\x18", "zstd"},  // the last of their magic numbers
    {"\x1f\x9d", "compress"},
    {"PK\x03\x04", "zip"},  // an entry
    {"PK\x05\x06", "zip"},  // an empty archive
    {"PK\x07\x08", "zip"},  // a spanned one
    {"7z\xbc\xaf\x27\x1c", "7z"},
    {"stream.log" + std::string(247, '\0') + std::string("ustar\0", 6), "tar"},    // POSIX's
    {"stream.log" + std::string(247, '\0') + std::string("ustar  \0", 8), "tar"},  // GNU's
    {"070701" + std::string(103, '0') + "F", "cpio"},    // newc's header, its digits whole
    {"070702" + std::string(103, '0') + "F", "cpio"},    // with checksums
    {"!<arch>\n" + std::string(58, ' ') + "`\n", "ar"},  // a member's header after the mark
};

// The text of row rowNr of every result table, without its line end.
inline std::string rowText(uint64_t rowNr) {
  return "Brand#" + std::to_string(11 + rowNr % 45) + "  |MEDIUM POLISHED|" +
         std::to_string(1 + rowNr % 50) + "|" + std::to_string(rowNr);
}

class StreamLog {
 public:
  struct Table {
    int queryNr;
    uint64_t rows;
    size_t begin;  // byte range of the row lines in text()
    size_t end;
  };

  // rowEnd is written after each row's text, before its newline (e.g. "\r").
  explicit StreamLog(std::string rowEnd = "") : rowEnd_(std::move(rowEnd)) {}

  // Appends the output of one query: header, SQL, heading, separator and
  // rows; when closed, also "(N rows)", a timing line and an empty line.
  StreamLog& query(int queryNr, uint64_t rows, bool closed = true) {
    text_ += "-- TPC-H Query " + std::to_string(queryNr) + " (stream 0, position " +
             std::to_string(++position_) + "/22) started 2026-12-07 07:46:53\n";
    text_ +=
        "select p_brand, p_type, p_size, count(distinct ps_suppkey) as supplier_cnt\n"
        "from partsupp, part\n"
        "where p_partkey = ps_partkey and p_brand <> 'Brand#21'\n"
        "group by p_brand, p_type, p_size;\n"
        "p_brand|p_type|p_size|supplier_cnt\n"
        "===================================\n";
    Table table{queryNr, rows, text_.size(), 0};
    for (uint64_t r = 1; r <= rows; ++r)
      text_.append(rowText(r)).append(rowEnd_).append("\n");
    table.end = text_.size();
    tables_.push_back(table);
    if (closed)
      text_.append("(").append(std::to_string(rows)).append(" rows)\nTime: 438.962 ms\n\n");
    return *this;
  }

  const std::string& text() const { return text_; }
  const std::vector<Table>& tables() const { return tables_; }
  const std::string& rowEnd() const { return rowEnd_; }

 private:
  std::string rowEnd_;
  std::string text_;
  std::vector<Table> tables_;
  int position_ = 0;
};

struct KeptRow {
  uint64_t number;     // from " [row: N]"
  std::string text;    // the row before " [row: N]"
  uint64_t markedGap;  // count of the deletion marker just before it, 0 when none
};

struct CutTable {
  std::vector<KeptRow> rows;
  std::vector<uint64_t> markers;  // every marker's count, in order
  size_t unnumberedRows = 0;      // row lines without " [row: N]"
  size_t length = 0;              // bytes of output the table takes up
};

namespace stream_log_detail {

// A plain decimal number: digits only, no leading zero.
inline bool parseNumber(std::string_view digits, uint64_t& value) {
  if (digits.empty() || (digits[0] == '0' && digits.size() > 1))
    return false;
  auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  return error == std::errc() && end == digits.data() + digits.size();
}

inline bool nextLine(std::string_view text, size_t& pos, std::string_view& line) {
  if (pos >= text.size())
    return false;
  size_t newline = text.find('\n', pos);
  if (newline == std::string_view::npos)
    newline = text.size();
  line = text.substr(pos, newline - pos);
  pos = newline + 1;
  return true;
}

// The count of "----------- deleted G rows -----------", 0 for any other line.
inline uint64_t markerCount(std::string_view line) {
  constexpr std::string_view kBefore = "----------- deleted ";
  constexpr std::string_view kAfter = " rows -----------";
  uint64_t count = 0;
  if (line.size() <= kBefore.size() + kAfter.size() || !line.starts_with(kBefore) ||
      !line.ends_with(kAfter))
    return 0;
  std::string_view digits = line.substr(kBefore.size());
  digits.remove_suffix(kAfter.size());
  return parseNumber(digits, count) ? count : 0;
}

}  // namespace stream_log_detail

// Reads the cut table at the start of text (the output just after the
// table's separator line): row lines and three-line deletion markers, up to
// the first other line.
inline CutTable parseCutTable(std::string_view text) {
  using namespace stream_log_detail;
  constexpr std::string_view kTag = " [row: ";
  CutTable cut;
  uint64_t pendingGap = 0;
  size_t pos = 0;
  std::string_view line;
  for (size_t start = pos; nextLine(text, pos, line); start = pos) {
    if (line.empty()) {
      std::string_view middle, after;
      size_t p = pos;
      if (!nextLine(text, p, middle) || !nextLine(text, p, after) || !after.empty() ||
          markerCount(middle) == 0) {
        pos = start;
        break;
      }
      cut.markers.push_back(pendingGap = markerCount(middle));
      pos = p;
      continue;
    }
    if (line.find('|') == std::string_view::npos) {
      pos = start;
      break;
    }
    size_t tag = line.rfind(kTag);
    uint64_t number = 0;
    if (tag == std::string_view::npos || !line.ends_with(']') ||
        !parseNumber(line.substr(tag + kTag.size(), line.size() - tag - kTag.size() - 1), number)) {
      ++cut.unnumberedRows;
    } else {
      cut.rows.push_back({number, std::string(line.substr(0, tag)), pendingGap});
    }
    pendingGap = 0;
  }
  cut.length = pos < text.size() ? pos : text.size();
  return cut;
}

#endif  // STREAMTRIM_STREAM_LOG_H
