#include "checker/cut_log_syntax.h"

#include <charconv>

namespace {

constexpr std::string_view kRowTag = " [row: ";
constexpr std::string_view kMarkerBefore = "----------- deleted ";
constexpr std::string_view kMarkerAfter = " rows -----------";

// line without the carriage return at its end; false when it has none.
bool withoutCarriageReturn(std::string_view& line) {
  if (!line.ends_with('\r'))
    return false;
  line.remove_suffix(1);
  return true;
}

bool parseKeptRowAsWritten(std::string_view line, std::string_view& text, uint64_t& rowNr) {
  size_t tag = line.rfind(kRowTag);
  if (tag == line.npos || !line.ends_with(']'))
    return false;
  size_t digits = tag + kRowTag.size();
  if (!parsePlainNumber(line.substr(digits, line.size() - 1 - digits), rowNr))
    return false;
  text = line.substr(0, tag);
  return true;
}

}  // namespace

bool parsePlainNumber(std::string_view digits, uint64_t& value) {
  if (digits.empty() || (digits[0] == '0' && digits.size() > 1))
    return false;
  const char* end = digits.data() + digits.size();
  auto [stop, error] = std::from_chars(digits.data(), end, value);
  return error == std::errc() && stop == end;
}

bool parseMarker(std::string_view line, uint64_t& deletedRows) {
  if (!line.starts_with(kMarkerBefore) || !line.ends_with(kMarkerAfter) ||
      line.size() < kMarkerBefore.size() + kMarkerAfter.size())
    return false;
  size_t length = line.size() - kMarkerBefore.size() - kMarkerAfter.size();
  return parsePlainNumber(line.substr(kMarkerBefore.size(), length), deletedRows);
}

bool parseKeptRow(std::string_view line, std::string_view& text, uint64_t& rowNr, bool& converted) {
  converted = false;
  if (parseKeptRowAsWritten(line, text, rowNr))
    return true;
  converted = withoutCarriageReturn(line);
  return converted && parseKeptRowAsWritten(line, text, rowNr);
}

bool parseMarker(std::string_view line, uint64_t& deletedRows, bool& converted) {
  converted = false;
  if (parseMarker(line, deletedRows))
    return true;
  converted = withoutCarriageReturn(line);
  return converted && parseMarker(line, deletedRows);
}

bool isMarkerEmptyLine(std::string_view line, bool& converted) {
  converted = line == "\r";
  return line.empty() || converted;
}
