// The system's reason for a failure on Windows, as Windows words it: in the
// user's language, on one line and in UTF-8.

#ifndef STREAMTRIM_SYSTEM_ERROR_WINDOWS_H
#define STREAMTRIM_SYSTEM_ERROR_WINDOWS_H

#include <string>

#include "system/windows/windows_api.h"

// The reason given for a directory where a file is expected, in the words
// of the POSIX systems (Windows has no message of its own for it).
inline constexpr char kIsDirectory[] = "Is a directory";

// The system's message for error without the line break and full stop
// Windows ends it with; "system error N" when Windows has no message for it.
std::string systemMessage(DWORD error);

// Throws a Failure (failure.h) about subject whose reason is the system's
// message for error; a BrokenPipe for a pipe whose reader has gone.
[[noreturn]] void failWithSystemError(const std::string& subject, DWORD error);

#endif  // STREAMTRIM_SYSTEM_ERROR_WINDOWS_H
