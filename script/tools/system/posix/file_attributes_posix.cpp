// The owner, group and mode of a replaced output, alike on every POSIX
// system (file_attributes.h).

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "system/failure.h"
#include "system/file_attributes.h"

namespace {

struct SpecialBit {
  mode_t bit;
  const char* name;
};

constexpr SpecialBit kSpecialBits[] = {
    {S_ISUID, "set-user-ID bit"},
    {S_ISGID, "set-group-ID bit"},
    {S_ISVTX, "sticky bit"},
};

std::string octal(mode_t mode) {
  char text[8];
  std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode));
  return text;
}

struct stat statusOf(int fd, const std::string& name) {
  struct stat info;
  if (::fstat(fd, &info) != 0)
    failWithErrno(name, errno);
  return info;
}

// Gives fd the owner and group of replaced where the process may; a process
// that may not give the file away (EPERM) still tries the group alone.
// Returns the file's status afterwards.
struct stat takeOwnerAndGroup(const ReplacedFile& replaced, int fd, const std::string& name,
                              std::vector<std::string>& notKept) {
  int refusal = 0;
  if (::fchown(fd, replaced.owner, replaced.group) != 0) {
    if (errno != EPERM)
      failWithErrno(name, errno);
    refusal = errno;
    if (::fchown(fd, static_cast<uid_t>(-1), replaced.group) != 0 && errno != EPERM)
      failWithErrno(name, errno);
  }
  struct stat info = statusOf(fd, name);
  const char* why = std::strerror(refusal);
  if (info.st_uid != replaced.owner)
    notKept.push_back("owner " + std::to_string(replaced.owner) + " (" + why + ")");
  if (info.st_gid != replaced.group)
    notKept.push_back("group " + std::to_string(replaced.group) + " (" + why + ")");
  return info;
}

}  // namespace

std::string keepAttributes(const ReplacedFile& replaced, int fd, const std::string& name) {
  std::vector<std::string> notKept;
  struct stat owned = takeOwnerAndGroup(replaced, fd, name, notKept);

  mode_t mode = replaced.mode & 07777;
  if ((mode & S_ISUID) != 0 && owned.st_uid != replaced.owner) {
    mode &= ~S_ISUID;
    notKept.emplace_back("set-user-ID bit (kept only with the owner)");
  }
  if ((mode & S_ISGID) != 0 && owned.st_gid != replaced.group) {
    mode &= ~S_ISGID;
    notKept.emplace_back("set-group-ID bit (kept only with the group)");
  }
  // A system may refuse a special bit outright (the BSDs' sticky bit on a
  // file): the permission bits alone are set then.
  if (::fchmod(fd, mode) != 0) {
    int refusal = errno;
    if (::fchmod(fd, mode & 0777) != 0)
      failWithErrno(name, errno);
    for (const SpecialBit& special : kSpecialBits) {
      if ((mode & special.bit) != 0)
        notKept.push_back(std::string(special.name) + " (" + std::strerror(refusal) + ")");
    }
    mode &= 0777;
  }

  copyExtendedAttributes(replaced.path, fd, notKept);

  mode_t now = statusOf(fd, name).st_mode & 07777;
  for (const SpecialBit& special : kSpecialBits) {
    if ((mode & special.bit) != 0 && (now & special.bit) == 0)
      notKept.push_back(std::string(special.name) + " (cleared by the system)");
  }
  if ((now & 0777) != (mode & 0777))
    notKept.push_back("permission bits " + octal(mode & 0777) + " (they are " + octal(now & 0777) +
                      ")");

  if (notKept.empty())
    return "";
  std::string note = printableName(name) + ": note: replaced without the previous file's ";
  for (size_t i = 0; i < notKept.size(); ++i)
    note += (i == 0 ? "" : ", ") + notKept[i];
  return note;
}
