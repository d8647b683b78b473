#include "system/failure.h"

#include <cerrno>
#include <cstring>

std::string printableName(std::string_view name) {
  std::string shown;
  shown.reserve(name.size());
  for (char c : name) {
    auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7f) {
      shown += c;
    } else {
      constexpr char kHex[] = "0123456789abcdef";
      shown += {'\\', 'x', kHex[byte >> 4], kHex[byte & 15]};
    }
  }
  return shown;
}

void failWithErrno(const std::string& subject, int errnum) {
  if (errnum == EPIPE)
    throw BrokenPipe(subject, std::strerror(errnum));
  throw Failure(subject, std::strerror(errnum));
}
