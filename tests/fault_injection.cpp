// Faults no real file makes on demand, for the end-to-end tests of the
// output (output_kinds_linux_test.cpp): loaded into the built streamtrim
// with LD_PRELOAD (Linux), it stands in for write(), writev(), pread(),
// close() and rename() as its environment says:
//
//   STREAMTRIM_FAULT_SHORT=N         each write hands over at most N bytes
//   STREAMTRIM_FAULT_WRITE=ERRNO     writes fail with ERRNO once
//   STREAMTRIM_FAULT_WRITE_AFTER=N   N bytes have gone out (0 by default),
//                                    the write that crosses N cut short there
//   STREAMTRIM_FAULT_CLOSE=ERRNO     closing a temporary file of streamtrim's
//                                    closes it and then fails with ERRNO
//   STREAMTRIM_FAULT_CLOSE_ENDING=S  ...or instead a file whose path ends in S
//   STREAMTRIM_FAULT_RENAME=ERRNO    rename() fails with ERRNO, renaming nothing
//   STREAMTRIM_FAULT_COUNT=PATH      the count of write calls is written to
//                                    PATH when the process exits
//   STREAMTRIM_FAULT_STOP=1          the first write stops the process
//                                    (SIGSTOP) before it writes: a test
//                                    catches the run in its output pass
//   STREAMTRIM_FAULT_STOP_ENDING=S   ...the first write to a file whose path
//                                    ends in S (an output copied in place)
//   STREAMTRIM_FAULT_STOP_READ=1     the first pread() stops the process
//                                    before it reads: a test catches the
//                                    run in its first pass, the log open
//
// ERRNO is a name: EPERM, EBUSY, EXDEV, EIO, EDQUOT, ENOSPC, EFBIG. Writes to
// standard error (where streamtrim's messages go) are left alone and not
// counted.

#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int errnoNamed(const char* name) {
  static const struct {
    const char* name;
    int value;
  } kNames[] = {{"EPERM", EPERM},   {"EBUSY", EBUSY},   {"EXDEV", EXDEV}, {"EIO", EIO},
                {"EDQUOT", EDQUOT}, {"ENOSPC", ENOSPC}, {"EFBIG", EFBIG}, {"EACCES", EACCES}};
  if (name == nullptr)
    return 0;
  for (const auto& entry : kNames) {
    if (std::strcmp(entry.name, name) == 0)
      return entry.value;
  }
  std::fprintf(stderr, "fault_injection: no such errno name: %s\n", name);
  std::abort();
}

size_t sizeFrom(const char* text, size_t otherwise) {
  return text == nullptr ? otherwise : std::strtoull(text, nullptr, 10);
}

// The path of the file fd is open on.
std::string pathOf(int fd) {
  char link[4096];
  std::string path = "/proc/self/fd/" + std::to_string(fd);
  ssize_t size = ::readlink(path.c_str(), link, sizeof link - 1);
  return std::string(link, static_cast<size_t>(std::max<ssize_t>(size, 0)));
}

struct Faults {
  size_t shortest = static_cast<size_t>(-1);  // the most a write hands over
  int writeError = 0;
  size_t writeAfter = 0;
  int closeError = 0;
  int renameError = 0;
  const char* countPath = nullptr;
  bool stop = false;                 // before the next write
  const char* stopEnding = nullptr;  // ...to a file whose path ends so
  bool stopRead = false;             // before the next pread()
  size_t written = 0;                // bytes written so far
  size_t calls = 0;                  // write calls so far

  Faults() {
    shortest = sizeFrom(std::getenv("STREAMTRIM_FAULT_SHORT"), shortest);
    writeError = errnoNamed(std::getenv("STREAMTRIM_FAULT_WRITE"));
    writeAfter = sizeFrom(std::getenv("STREAMTRIM_FAULT_WRITE_AFTER"), 0);
    closeError = errnoNamed(std::getenv("STREAMTRIM_FAULT_CLOSE"));
    renameError = errnoNamed(std::getenv("STREAMTRIM_FAULT_RENAME"));
    countPath = std::getenv("STREAMTRIM_FAULT_COUNT");
    stop = std::getenv("STREAMTRIM_FAULT_STOP") != nullptr;
    stopEnding = std::getenv("STREAMTRIM_FAULT_STOP_ENDING");
    stopRead = std::getenv("STREAMTRIM_FAULT_STOP_READ") != nullptr;
  }

  // How much of a write of size bytes to fd may go out: -1 when it fails.
  ssize_t allowed(int fd, size_t size) {
    if (stop && (stopEnding == nullptr || pathOf(fd).ends_with(stopEnding))) {
      stop = false;
      ::raise(SIGSTOP);
    }
    ++calls;
    size = std::min(size, shortest);
    if (writeError != 0) {
      if (written >= writeAfter) {
        errno = writeError;
        return -1;
      }
      size = std::min(size, writeAfter - written);
    }
    return static_cast<ssize_t>(size);
  }
};

Faults& faults() {
  static Faults instance;
  return instance;
}

template <typename Function>
Function real(const char* name) {
  return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

// Whether fd is open on the file whose close is to fail.
bool closeFails(int fd) {
  const char* ending = std::getenv("STREAMTRIM_FAULT_CLOSE_ENDING");
  std::string file = pathOf(fd);
  if (ending != nullptr)
    return file.ends_with(ending);
  return file.find(".streamtrim-") != std::string::npos;
}

__attribute__((destructor)) void writeCount() {
  Faults& f = faults();
  if (f.countPath == nullptr)
    return;
  std::string text = std::to_string(f.calls) + "\n";
  static auto realWrite = real<ssize_t (*)(int, const void*, size_t)>("write");
  int fd = ::open(f.countPath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd >= 0) {
    realWrite(fd, text.data(), text.size());
    ::syscall(SYS_close, fd);
  }
}

}  // namespace

extern "C" ssize_t write(int fd, const void* bytes, size_t size) {
  static auto realWrite = real<ssize_t (*)(int, const void*, size_t)>("write");
  if (fd == STDERR_FILENO)
    return realWrite(fd, bytes, size);
  ssize_t allowed = faults().allowed(fd, size);
  if (allowed < 0)
    return -1;
  ssize_t done = realWrite(fd, bytes, static_cast<size_t>(allowed));
  if (done > 0)
    faults().written += static_cast<size_t>(done);
  return done;
}

// The parts up to the allowed size, as one write of their joined bytes.
extern "C" ssize_t writev(int fd, const struct iovec* parts, int count) {
  static auto realWritev = real<ssize_t (*)(int, const struct iovec*, int)>("writev");
  if (fd == STDERR_FILENO)
    return realWritev(fd, parts, count);
  size_t size = 0;
  for (int i = 0; i < count; ++i)
    size += parts[i].iov_len;
  ssize_t allowed = faults().allowed(fd, size);
  if (allowed < 0)
    return -1;
  std::string joined;
  for (int i = 0; i < count && joined.size() < static_cast<size_t>(allowed); ++i)
    joined.append(static_cast<const char*>(parts[i].iov_base),
                  std::min(parts[i].iov_len, static_cast<size_t>(allowed) - joined.size()));
  static auto realWrite = real<ssize_t (*)(int, const void*, size_t)>("write");
  ssize_t done = realWrite(fd, joined.data(), joined.size());
  if (done > 0)
    faults().written += static_cast<size_t>(done);
  return done;
}

// Both names: which one a caller binds to depends on _FILE_OFFSET_BITS.
template <const char* kName>
ssize_t stoppingPread(int fd, void* bytes, size_t size, off64_t offset) {
  static auto realPread = real<ssize_t (*)(int, void*, size_t, off64_t)>(kName);
  if (faults().stopRead) {
    faults().stopRead = false;
    ::raise(SIGSTOP);
  }
  return realPread(fd, bytes, size, offset);
}

constexpr char kPread[] = "pread";
constexpr char kPread64[] = "pread64";

extern "C" ssize_t pread(int fd, void* bytes, size_t size, off_t offset) {
  return stoppingPread<kPread>(fd, bytes, size, offset);
}

extern "C" ssize_t pread64(int fd, void* bytes, size_t size, off64_t offset) {
  return stoppingPread<kPread64>(fd, bytes, size, offset);
}

extern "C" int close(int fd) {
  static auto realClose = real<int (*)(int)>("close");
  bool failing = faults().closeError != 0 && closeFails(fd);
  int result = realClose(fd);
  if (failing && result == 0) {
    errno = faults().closeError;
    return -1;
  }
  return result;
}

extern "C" int rename(const char* from, const char* to) {
  static auto realRename = real<int (*)(const char*, const char*)>("rename");
  if (faults().renameError != 0) {
    errno = faults().renameError;
    return -1;
  }
  return realRename(from, to);
}
