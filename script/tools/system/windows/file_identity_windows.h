// What identifies an open file on Windows: its volume's serial number and
// its file ID, read from the handle alike for every file, so that the stamps
// of two handles can be compared (FileStamp, input_file.h).

#ifndef STREAMTRIM_FILE_IDENTITY_WINDOWS_H
#define STREAMTRIM_FILE_IDENTITY_WINDOWS_H

#include "system/input_file.h"
#include "system/windows/windows_api.h"

// Fills in the volume and file ID of stamp for the file open at handle;
// false when the system cannot tell (GetLastError says why). The ID is the
// whole 128 bits of FileIdInfo (ReFS needs all of them); where that is not to
// be had (FAT, some network file systems), the 64-bit file index stands in.
// A volume that keeps no IDs gives 0, which FileStamp never takes as proof
// that two files are one; the file's resolved path is then noted instead, so
// that the log named as its own output is still recognised there.
bool identifyFile(HANDLE handle, FileStamp& stamp);

#endif  // STREAMTRIM_FILE_IDENTITY_WINDOWS_H
