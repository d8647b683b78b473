// How the checker's messages show the lines they quote: in double quotes,
// at most 60 bytes of each, "..." outside the quotes where bytes are left
// out, and every byte other than printable ASCII escaped (\r, \t, \", \\,
// else \xNN), so that a problem stays one line and a byte that shows
// nothing, such as a carriage return, is seen.

#ifndef STREAMTRIM_PROBLEM_TEXT_H
#define STREAMTRIM_PROBLEM_TEXT_H

#include <cstdint>
#include <string>
#include <string_view>

// A line from its start.
std::string quotedLine(std::string_view text);

// Two lines that differ, as "<expected>, found <found>": both from the same
// byte, so that the first byte where they differ is shown in each, with up
// to 20 bytes before it.
std::string quotedDifference(std::string_view expected, std::string_view found);

inline std::string number(uint64_t value) {
  return std::to_string(value);
}

#endif  // STREAMTRIM_PROBLEM_TEXT_H
