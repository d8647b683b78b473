// Putting a replaced output's temporary file, written whole and closed, in
// place on Windows: ReplaceFileW over an existing output, which keeps the
// output's security and identity; MoveFileExW, which never replaces, at a
// path still free. When the path changes meanwhile (the output removed, or
// made by another run), the other call is tried; while another program (a
// virus scanner, an indexer, another run) holds the output for a moment,
// the call is tried again after a pause. Hard links to the previous file
// keep the previous content.

#ifndef STREAMTRIM_PUT_IN_PLACE_WINDOWS_H
#define STREAMTRIM_PUT_IN_PLACE_WINDOWS_H

#include <string>

#include "system/windows/windows_api.h"

// Puts the file at temporary in place of target, where a file stood when
// the output was opened when exists. Throws a Failure naming the output
// (name) when it cannot.
void putInPlace(const std::wstring& temporary, const std::wstring& target, bool exists,
                const std::string& name);

#endif  // STREAMTRIM_PUT_IN_PLACE_WINDOWS_H
