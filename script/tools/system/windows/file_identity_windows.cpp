#include "system/windows/file_identity_windows.h"

namespace {

// The path the system resolves handle's file to, in UTF-8; empty when it
// cannot tell.
std::string finalPathOf(HANDLE handle) {
  DWORD size = ::GetFinalPathNameByHandleW(handle, nullptr, 0, FILE_NAME_NORMALIZED);
  if (size == 0)
    return {};
  std::wstring path(size, L'\0');
  DWORD length = ::GetFinalPathNameByHandleW(handle, path.data(), size, FILE_NAME_NORMALIZED);
  if (length == 0 || length >= size)
    return {};
  path.resize(length);
  return narrow(path);
}

// A volume without file IDs gives 0: the resolved path stands in.
bool withPathWhereNoId(HANDLE handle, FileStamp& stamp) {
  stamp.finalPath.clear();
  if (stamp.fileId == 0 && stamp.fileIdHigh == 0)
    stamp.finalPath = finalPathOf(handle);
  return true;
}

}  // namespace

bool identifyFile(HANDLE handle, FileStamp& stamp) {
  FILE_ID_INFO id;
  if (::GetFileInformationByHandleEx(handle, FileIdInfo, &id, sizeof id) != 0) {
    uint64_t low = 0;
    uint64_t high = 0;
    for (int i = 0; i < 8; ++i) {
      low |= uint64_t{id.FileId.Identifier[i]} << (8 * i);
      high |= uint64_t{id.FileId.Identifier[8 + i]} << (8 * i);
    }
    stamp.volume = id.VolumeSerialNumber;
    stamp.fileId = low;
    stamp.fileIdHigh = high;
    return withPathWhereNoId(handle, stamp);
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (::GetFileInformationByHandle(handle, &info) == 0)
    return false;
  stamp.volume = info.dwVolumeSerialNumber;
  stamp.fileId = (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  stamp.fileIdHigh = 0;
  return withPathWhereNoId(handle, stamp);
}
