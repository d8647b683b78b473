// How the checker's messages show the lines they quote.

#ifndef STREAMTRIM_PROBLEM_TEXT_H
#define STREAMTRIM_PROBLEM_TEXT_H

#include <cstdint>
#include <string>
#include <string_view>

// A line in double quotes: at most 60 bytes, then "..." after the closing
// quote; every byte other than printable ASCII, and '"' and '\', escaped as
// \xNN, so that a problem stays one line.
std::string quoted(std::string_view text);

inline std::string number(uint64_t value) {
  return std::to_string(value);
}

#endif  // STREAMTRIM_PROBLEM_TEXT_H
