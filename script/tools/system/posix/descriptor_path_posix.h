// Where an output path leads on POSIX systems (output_file_posix.cpp): the
// file at the end of its symbolic links, or one of the process's open
// descriptors, which a path names however it is spelt.

#ifndef STREAMTRIM_DESCRIPTOR_PATH_POSIX_H
#define STREAMTRIM_DESCRIPTOR_PATH_POSIX_H

#include <sys/stat.h>

#include <optional>
#include <string>

// The descriptor that path names as the system's own names for open
// descriptors, if it names one: /dev/stdout, /dev/stderr, or a number in a
// folder that lists this process's descriptors (/dev/fd, /proc/self/fd,
// /proc/thread-self/fd, /proc/<its pid>/fd). The folder is known by what it
// resolves to, not by its spelling: /dev/fd//1, /dev/fd/./1 and
// /proc/<pid>/fd/1 name descriptor 1 as /dev/fd/1 does. Opening such a path
// would open the file behind the descriptor afresh (emptying or replacing
// it), or fail for a pipe on Linux: the descriptor itself is written instead.
// A folder with no number after it names none.
std::optional<int> namedDescriptor(const std::string& path);

// Follows every symbolic link on the end of path, as a write through it
// would: target becomes the file reached, which may not exist yet, or a name
// of an open descriptor (namedDescriptor), which is not followed. info is
// filled and exists set when a file is there. Returns 0, or the errno that
// stopped it (ELOOP past the system's 40 links).
int followLinks(const std::string& path, std::string& target, struct stat& info, bool& exists);

#endif  // STREAMTRIM_DESCRIPTOR_PATH_POSIX_H
