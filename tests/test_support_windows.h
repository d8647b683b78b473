// What only the Windows tests need (windows_test.cpp), from
// test_support_windows.cpp.

#ifndef STREAMTRIM_TEST_SUPPORT_WINDOWS_H
#define STREAMTRIM_TEST_SUPPORT_WINDOWS_H

#include <string>

// The system's message for a Windows error code, as FormatMessage words it,
// without the final period and line end.
std::string windowsReason(unsigned long error);

// Holds a file open with no sharing, as another program that locks it would:
// every other open of the file fails while this lives.
class LockedFile {
 public:
  explicit LockedFile(const std::string& path);
  ~LockedFile();
  LockedFile(LockedFile&& other) noexcept;
  LockedFile(const LockedFile&) = delete;
  LockedFile& operator=(const LockedFile&) = delete;
  LockedFile& operator=(LockedFile&&) = delete;

 private:
  void* handle_;
};

[[nodiscard]] inline LockedFile lockFile(const std::string& path) {
  return LockedFile(path);
}

#endif  // STREAMTRIM_TEST_SUPPORT_WINDOWS_H
