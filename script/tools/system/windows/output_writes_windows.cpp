#include "system/windows/output_writes_windows.h"

#include <algorithm>

#include "system/windows/system_error_windows.h"

namespace {

// The most one WriteFile is asked to write (its count is 32 bits).
constexpr size_t kLargestWrite = size_t{1} << 30;

}  // namespace

void writeAll(HANDLE handle, const std::string& name, std::string_view bytes) {
  while (!bytes.empty()) {
    DWORD written = 0;
    if (::WriteFile(handle, bytes.data(), static_cast<DWORD>(std::min(bytes.size(), kLargestWrite)),
                    &written, nullptr) == 0)
      failWithSystemError(name, ::GetLastError());
    if (written == 0)  // a pipe set not to wait, and full
      failWithSystemError(name, ERROR_WRITE_FAULT);
    bytes.remove_prefix(written);
  }
}
