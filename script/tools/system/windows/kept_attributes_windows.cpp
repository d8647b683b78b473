#include "system/windows/kept_attributes_windows.h"

#include "system/windows/system_error_windows.h"

namespace {

constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY |
                                  FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

}  // namespace

// A previous file without attributes of its own is "normal", which Windows
// takes for them all cleared.
void keepAttributes(HANDLE handle, DWORD previous, const std::string& name) {
  FILE_BASIC_INFO basic = {};  // times of 0 stay as they are
  basic.FileAttributes = previous & kKeptAttributes;
  if (basic.FileAttributes == 0)
    basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
  if (::SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof basic) == 0)
    failWithSystemError(name, ::GetLastError());
}
