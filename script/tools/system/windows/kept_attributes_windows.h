// What a replaced output keeps on Windows of the file it replaces, besides
// what ReplaceFileW keeps itself (its security and identity): its
// attributes hidden, system, archive, temporary and not indexed. Not
// read-only, which Windows never lets a writer have, nor offline, which says
// where the previous file's data was.

#ifndef STREAMTRIM_KEPT_ATTRIBUTES_WINDOWS_H
#define STREAMTRIM_KEPT_ATTRIBUTES_WINDOWS_H

#include <string>

#include "system/windows/windows_api.h"

// Gives the replacement open at handle, written whole, what it keeps of
// previous, the replaced file's attributes: set once the last byte is
// written, which would mark the file for the archive again. Throws a
// Failure naming the output (name) when the system refuses.
void keepAttributes(HANDLE handle, DWORD previous, const std::string& name);

#endif  // STREAMTRIM_KEPT_ATTRIBUTES_WINDOWS_H
