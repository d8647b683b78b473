// The ACLs and extended attributes of a replaced output on a POSIX system
// other than Linux and macOS (file_attributes.h): POSIX has no common call
// for them, and streamtrim keeps only the owner, group and mode there, nor
// one for a directory's flags.

#include "system/file_attributes.h"

void copyExtendedAttributes(const std::string&, int, std::vector<std::string>&) {}

bool folderIsAppendOnly(const std::string&) {
  return false;
}
