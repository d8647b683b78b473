// What the Linux and macOS copies of extended attributes share
// (file_attributes_linux.cpp, file_attributes_macos.cpp): their calls differ
// in arguments, not in how a value of unknown size is read.

#ifndef STREAMTRIM_EXTENDED_ATTRIBUTES_POSIX_H
#define STREAMTRIM_EXTENDED_ATTRIBUTES_POSIX_H

#include <sys/types.h>

#include <cerrno>
#include <cstring>
#include <string>

// " (reason)", as a note names why an attribute was not kept.
inline std::string because(int error) {
  return std::string(" (") + std::strerror(error) + ")";
}

// Reads into value what read(buffer, size) gives, growing the buffer while
// the attribute grows under it (ERANGE). False, errno set, on a failure.
template <typename Read>
bool readGrowing(std::string& value, Read read) {
  for (;;) {
    ssize_t size = read(nullptr, 0);
    if (size < 0)
      return false;
    value.resize(static_cast<size_t>(size));
    size = read(value.data(), value.size());
    if (size >= 0) {
      value.resize(static_cast<size_t>(size));
      return true;
    }
    if (errno != ERANGE)
      return false;
  }
}

#endif  // STREAMTRIM_EXTENDED_ATTRIBUTES_POSIX_H
