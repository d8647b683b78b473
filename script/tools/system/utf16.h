// Text between UTF-8, the tool's own encoding, and UTF-16, the one Windows
// gives and takes names and messages in.
//
// Names pass through losslessly, also the file names Windows allows but
// UTF-16 does not (an unpaired surrogate): such a code unit travels as the
// three bytes UTF-8 would give its value, so a name read from the command
// line opens the very file it names.

#ifndef STREAMTRIM_UTF16_H
#define STREAMTRIM_UTF16_H

#include <string>
#include <string_view>

// UTF-8 to UTF-16. A byte that starts no valid sequence becomes U+FFFD and
// what follows it is read afresh; the three-byte form of a surrogate becomes
// that surrogate.
std::u16string toUtf16(std::string_view utf8);

// UTF-16 to UTF-8; an unpaired surrogate is kept (see above).
std::string toUtf8(std::u16string_view utf16);

#endif  // STREAMTRIM_UTF16_H
