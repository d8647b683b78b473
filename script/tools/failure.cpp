#include "failure.h"

#include <cstring>

void failWithErrno(const std::string& subject, int errnum) {
  throw Failure(subject, std::strerror(errnum));
}
