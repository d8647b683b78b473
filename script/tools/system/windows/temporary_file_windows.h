// The temporary file a replaced output is written to on Windows
// (output_file_windows.cpp): created with CREATE_NEW beside the file the
// output path leads to, named "." and that file's name, ".streamtrim-" and
// six letters and digits that differ from run to run
// (".cut.log.streamtrim-x7k2q9" beside cut.log), the name shortened where
// the whole would pass the longest name NTFS takes. A name in use is tried
// again with other letters, so runs writing one output at once each write
// their own.

#ifndef STREAMTRIM_TEMPORARY_FILE_WINDOWS_H
#define STREAMTRIM_TEMPORARY_FILE_WINDOWS_H

#include <string>

#include "system/windows/windows_api.h"

// Creates the temporary file for the output file at target (a full path),
// open for writing and deletion, and sets path to its name. Returns
// INVALID_HANDLE_VALUE, error set to why, when it cannot be created for
// another reason than a name in use or when every name tried was in use.
HANDLE createTemporaryFile(const std::wstring& target, std::wstring& path, DWORD& error);

#endif  // STREAMTRIM_TEMPORARY_FILE_WINDOWS_H
