// What a replaced output keeps of the file it replaces (output_file_posix.cpp):
// its owner and group, its mode with the set-user-ID, set-group-ID and sticky
// bits, and, on Linux and macOS, its ACLs and extended attributes, as an
// editor that saves through a new file (sed -i) keeps them. A user whom an
// ACL let read the previous file can read the cut.
//
// Each is set on the replacement once it is written whole, before it is
// renamed over the output, in this order:
// - the owner and group: changing them clears the set-user-ID and
//   set-group-ID bits, which the mode then sets again;
// - the mode: a set-user-ID bit is kept only with the owner and a
//   set-group-ID bit only with the group, so that a program the user may not
//   give away never runs as the user instead;
// - the ACLs and extended attributes: on Linux an ACL is one, and setting it
//   sets the mode's permission bits from it, which the previous file's mode
//   and ACL agree on.
// The system may clear a special bit on the way (Linux clears set-group-ID
// for a group the user is not in), so the mode is read back at the end.
//
// What cannot be kept (another user's file replaced by its group's member,
// an attribute only the superuser may set) does not fail the run: the cut is
// put in place, and one note names what it lacks and why.
//
// The flags of the output's folder are each system's too: an append-only
// folder has its output written in place (output_file.h).
//
// The owner, group and mode are set alike on every POSIX system
// (file_attributes_posix.cpp); the ACLs and extended attributes are each
// system's own (file_attributes_linux.cpp, file_attributes_macos.cpp), and
// other systems keep none (file_attributes_plain.cpp).

#ifndef STREAMTRIM_FILE_ATTRIBUTES_H
#define STREAMTRIM_FILE_ATTRIBUTES_H

#include <sys/types.h>

#include <string>
#include <vector>

// The file a replacement replaces: its path with every link followed, and
// its owner, group and mode as they were when the output was opened.
struct ReplacedFile {
  std::string path;
  uid_t owner = 0;
  gid_t group = 0;
  mode_t mode = 0;
};

// Gives the file open at fd, the replacement written whole, what it keeps of
// replaced. Returns the note on what could not be kept ("<name>: note: ..."),
// empty when everything was kept. Throws a Failure naming name when fd
// cannot be changed for another reason than a refusal (an I/O error).
std::string keepAttributes(const ReplacedFile& replaced, int fd, const std::string& name);

// Each system's part: gives fd the ACLs and extended attributes of the file
// at path, once its owner and mode are set, and removes an ACL that fd got
// from its directory when path has none. Adds to notKept each that cannot be
// kept, as "<what> (<why>)".
void copyExtendedAttributes(const std::string& path, int fd, std::vector<std::string>& notKept);

// Each system's part too: whether the directory at path is append-only (a
// file may be made in it, but none renamed or removed: Linux's chattr +a,
// macOS's uappnd and sappnd), where a replacement's temporary file could
// neither be put in place nor removed. False where the system cannot tell.
bool folderIsAppendOnly(const std::string& path);

#endif  // STREAMTRIM_FILE_ATTRIBUTES_H
