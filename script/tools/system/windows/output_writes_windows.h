// The write every Windows output makes (output_file_windows.cpp,
// direct_output_windows.cpp): all of a string handed to WriteFile, going on
// after a partial write, as a pipe may take less than it is given.

#ifndef STREAMTRIM_OUTPUT_WRITES_WINDOWS_H
#define STREAMTRIM_OUTPUT_WRITES_WINDOWS_H

#include <string>
#include <string_view>

#include "system/windows/windows_api.h"

// Writes all of bytes to handle; throws a Failure naming the output (name)
// when a write fails, a BrokenPipe when a pipe's reader has gone.
void writeAll(HANDLE handle, const std::string& name, std::string_view bytes);

#endif  // STREAMTRIM_OUTPUT_WRITES_WINDOWS_H
