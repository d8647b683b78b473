// What the Windows layer of the tool shares: text between the tool and
// Windows, the system's messages, and what identifies an open file.
//
// The tool works in UTF-8, the Windows API in UTF-16. Names pass through
// widen() and narrow() losslessly, also the file names Windows allows but
// UTF-16 does not (an unpaired surrogate): such a code unit travels as the
// three bytes UTF-8 would give its value, so a name read from the command
// line opens the very file it names.
//
// Messages name the system's reason for a failure as Windows words it, in
// the user's language, on one line and in UTF-8.
//
// A file is known by its volume's serial number and its file ID, which are
// read from the handle alike for every file, so that two handles can be
// compared.
//
// Consoles older than Windows 10 ignore the escape sequence that erases the
// rest of a line; LineErasure spells it out in spaces for them.

#ifndef STREAMTRIM_WINDOWS_TEXT_H
#define STREAMTRIM_WINDOWS_TEXT_H

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>
#include <string_view>

#include "input_file.h"

// The reason given for a directory where a file is expected, in the words
// of the POSIX systems (Windows has no message of its own for it).
inline constexpr char kIsDirectory[] = "Is a directory";

// UTF-8 to UTF-16. A byte that starts no valid sequence becomes U+FFFD; the
// three-byte form of a surrogate becomes that surrogate.
std::wstring widen(std::string_view utf8);

// UTF-16 to UTF-8; an unpaired surrogate is kept (see above).
std::string narrow(std::wstring_view utf16);

// The system's message for error, in UTF-8 on one line, without the line
// break and full stop Windows ends it with; "system error N" when Windows
// has no message for it.
std::string systemMessage(DWORD error);

// Throws a Failure (failure.h) about subject whose reason is the system's
// message for error; a BrokenPipe for a pipe whose reader has gone.
[[noreturn]] void failWithSystemError(const std::string& subject, DWORD error);

// Fills in the volume and fileId of stamp for the file open at handle; false
// when the system cannot tell (GetLastError says why). The 128-bit file ID
// (FileIdInfo, which ReFS needs) is folded into 64 bits; where it is not to
// be had (FAT, Windows 7), the 64-bit file index stands in.
bool identifyFile(HANDLE handle, FileStamp& stamp);

// Rewrites what is to be shown on a console without escape sequences: each
// "erase to the end of the line" (ESC [ K) becomes spaces up to the window's
// last column but one, a carriage return and the line's text again, which
// leaves the cursor where the erasure found it. It remembers the text since
// the last carriage return or newline across calls.
class LineErasure {
 public:
  // text as the progress display writes it; width is the window's, 0 when
  // unknown (taken as 80).
  std::string translate(std::string_view text, int width);

 private:
  std::string line_;  // shown since the last carriage return or newline
};

#endif  // STREAMTRIM_WINDOWS_TEXT_H
