// The ACLs and extended attributes of a replaced output on Linux
// (file_attributes.h).
//
// Linux keeps a file's POSIX ACL as the extended attribute
// system.posix_acl_access, so copying every extended attribute the process
// may list copies the ACL too, with the C library alone. The value is
// copied as the kernel gives it; the kernel checks it again when it is set.

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "system/failure.h"
#include "system/file_attributes.h"
#include "system/posix/extended_attributes_posix.h"

namespace {

constexpr char kAccessAcl[] = "system.posix_acl_access";

// What a note calls an attribute.
std::string described(const std::string& name) {
  if (name == kAccessAcl)
    return "ACL";
  return "extended attribute " + printableName(name);
}

}  // namespace

void copyExtendedAttributes(const std::string& path, int fd, std::vector<std::string>& notKept) {
  std::string names;
  if (!readGrowing(names, [&](char* buffer, size_t size) {
        return ::listxattr(path.c_str(), buffer, size);
      })) {
    // A file system without extended attributes has none to keep, and a
    // previous file removed meanwhile has nothing left to keep.
    if (errno != ENOTSUP && errno != ENOENT)
      notKept.push_back("extended attributes" + because(errno));
    return;
  }
  bool hasAccessAcl = false;
  for (size_t start = 0; start < names.size();) {
    std::string name(names.c_str() + start);
    start += name.size() + 1;
    if (name.empty())
      continue;
    hasAccessAcl = hasAccessAcl || name == kAccessAcl;
    std::string value;
    if (!readGrowing(value, [&](char* buffer, size_t size) {
          return ::getxattr(path.c_str(), name.c_str(), buffer, size);
        })) {
      if (errno != ENODATA)  // removed since it was listed
        notKept.push_back(described(name) + because(errno));
      continue;
    }
    // One the replacement has already, as a security label the system gave
    // it, is not set again: the user may have no right to set what is there.
    std::string present;
    if (readGrowing(present,
                    [&](char* buffer, size_t size) {
                      return ::fgetxattr(fd, name.c_str(), buffer, size);
                    }) &&
        present == value)
      continue;
    if (::fsetxattr(fd, name.c_str(), value.data(), value.size(), 0) != 0)
      notKept.push_back(described(name) + because(errno));
  }
  // The replacement was made in the output's directory and took an ACL from
  // its default ACL, which the previous file did not have.
  if (!hasAccessAcl && ::fremovexattr(fd, kAccessAcl) != 0 && errno != ENODATA && errno != ENOTSUP)
    notKept.push_back("absence of an ACL" + because(errno));
}

// The flags chattr sets, which the file system keeps with the directory; a
// file system without them (ENOTTY) has no append-only directory.
bool folderIsAppendOnly(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0)
    return false;
  int flags = 0;
  bool appendOnly = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && (flags & FS_APPEND_FL) != 0;
  ::close(fd);
  return appendOnly;
}
