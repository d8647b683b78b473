#include "system/posix/descriptor_path_posix.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace {

// Links followed before the path is taken for a loop, as the system does.
constexpr int kMostLinks = 40;

// The most digits a descriptor's number is given with.
constexpr size_t kLongestNumber = 9;

// The path with every link and every "." or ".." resolved, or nothing when
// it leads nowhere.
std::optional<std::string> resolved(const std::string& path) {
  char buffer[PATH_MAX];
  if (::realpath(path.c_str(), buffer) == nullptr)
    return std::nullopt;
  return std::string(buffer);
}

// Whether folder (its path up to a last '/') lists this process's
// descriptors: spelt /dev/fd/ or /proc/self/fd/, known without a look (also
// where /proc is not mounted), or resolving as /dev/fd does (fdescfs on
// macOS and the BSDs, a link to /proc/self/fd on Linux) or as /proc/self/fd
// or /proc/thread-self/fd do (/proc/<pid>/fd, /proc/<pid>/task/<tid>/fd).
bool listsOwnDescriptors(const std::string& folder) {
  if (folder == "/dev/fd/" || folder == "/proc/self/fd/")
    return true;
  std::optional<std::string> where = resolved(folder);
  if (!where)
    return false;
  for (const char* own : {"/dev/fd", "/proc/self/fd", "/proc/thread-self/fd"}) {
    if (resolved(own) == *where)
      return true;
  }
  return false;
}

// Whether folder (its path up to a last '/') is /dev, however spelt.
bool isDevices(const std::string& folder) {
  if (folder == "/dev/")
    return true;
  std::optional<std::string> where = resolved(folder);
  return where && where == resolved("/dev");
}

}  // namespace

std::optional<int> namedDescriptor(const std::string& path) {
  size_t slash = path.rfind('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string folder = slash == std::string::npos ? "./" : path.substr(0, slash + 1);
  if ((name == "stdout" || name == "stderr") && isDevices(folder))
    return name == "stdout" ? STDOUT_FILENO : STDERR_FILENO;
  if (name.empty() || name.size() > kLongestNumber ||
      name.find_first_not_of("0123456789") != std::string::npos || !listsOwnDescriptors(folder))
    return std::nullopt;
  return std::stoi(name);
}

int followLinks(const std::string& path, std::string& target, struct stat& info, bool& exists) {
  target = path;
  for (int links = 0; links <= kMostLinks; ++links) {
    if (namedDescriptor(target))
      return 0;
    if (::lstat(target.c_str(), &info) != 0) {
      exists = false;
      return errno == ENOENT ? 0 : errno;
    }
    if (!S_ISLNK(info.st_mode)) {
      exists = true;
      return 0;
    }
    std::string link(static_cast<size_t>(info.st_size > 0 ? info.st_size : 4096) + 1, '\0');
    ssize_t size = ::readlink(target.c_str(), link.data(), link.size());
    if (size < 0)
      return errno;
    link.resize(static_cast<size_t>(size));
    size_t slash = target.rfind('/');
    if (link.front() == '/' || slash == std::string::npos)
      target = link;
    else
      target = target.substr(0, slash + 1) + link;
  }
  return ELOOP;
}
