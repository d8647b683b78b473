// The ACLs and extended attributes of a replaced output on macOS
// (file_attributes.h).
//
// macOS's extended-attribute calls take a position and options more than
// Linux's, and its ACLs are not among the attributes listed: they are
// copied through the C library's acl_* calls (ACL_TYPE_EXTENDED, the only
// kind macOS has). The names under com.apple.system. are the system's own
// (the ACL itself among them), set by it and not by a program.

#include <sys/acl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "system/failure.h"
#include "system/file_attributes.h"
#include "system/posix/extended_attributes_posix.h"

// A cross build's macOS headers may lack <sys/xattr.h>; the calls are in
// the C library all the same.
#if __has_include(<sys/xattr.h>)
#include <sys/xattr.h>
#else
extern "C" {
ssize_t listxattr(const char* path, char* names, size_t size, int options);
ssize_t getxattr(const char* path, const char* name, void* value, size_t size, uint32_t position,
                 int options);
ssize_t fgetxattr(int fd, const char* name, void* value, size_t size, uint32_t position,
                  int options);
int fsetxattr(int fd, const char* name, const void* value, size_t size, uint32_t position,
              int options);
}
#endif

namespace {

constexpr std::string_view kSystemNames = "com.apple.system.";

// The previous file's ACL, or none: the replacement then loses the
// entries it took from its directory.
void copyAcl(const std::string& path, int fd, std::vector<std::string>& notKept) {
  acl_t acl = ::acl_get_file(path.c_str(), ACL_TYPE_EXTENDED);
  if (acl == nullptr) {
    if (errno != ENOENT && errno != ENOTSUP) {
      notKept.push_back("ACL" + because(errno));
      return;
    }
    acl = ::acl_init(0);
    if (acl == nullptr)
      return;
  }
  if (::acl_set_fd_np(fd, acl, ACL_TYPE_EXTENDED) != 0 && errno != ENOTSUP)
    notKept.push_back("ACL" + because(errno));
  ::acl_free(acl);
}

}  // namespace

void copyExtendedAttributes(const std::string& path, int fd, std::vector<std::string>& notKept) {
  std::string names;
  if (!readGrowing(names, [&](char* buffer, size_t size) {
        return ::listxattr(path.c_str(), buffer, size, 0);
      })) {
    if (errno != ENOTSUP && errno != ENOENT)
      notKept.push_back("extended attributes" + because(errno));
  }
  for (size_t start = 0; start < names.size();) {
    std::string name(names.c_str() + start);
    start += name.size() + 1;
    if (name.empty() || std::string_view(name).starts_with(kSystemNames))
      continue;
    std::string value;
    if (!readGrowing(value, [&](char* buffer, size_t size) {
          return ::getxattr(path.c_str(), name.c_str(), buffer, size, 0, 0);
        })) {
      if (errno != ENOATTR)  // removed since it was listed
        notKept.push_back("extended attribute " + printableName(name) + because(errno));
      continue;
    }
    std::string present;
    if (readGrowing(present,
                    [&](char* buffer, size_t size) {
                      return ::fgetxattr(fd, name.c_str(), buffer, size, 0, 0);
                    }) &&
        present == value)
      continue;
    if (::fsetxattr(fd, name.c_str(), value.data(), value.size(), 0, 0) != 0)
      notKept.push_back("extended attribute " + printableName(name) + because(errno));
  }
  copyAcl(path, fd, notKept);
}

// The flags chflags sets, the user's and the system's.
bool folderIsAppendOnly(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && (info.st_flags & (UF_APPEND | SF_APPEND)) != 0;
}
