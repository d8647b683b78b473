#include "file_identity_windows.h"

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
    return true;
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (::GetFileInformationByHandle(handle, &info) == 0)
    return false;
  stamp.volume = info.dwVolumeSerialNumber;
  stamp.fileId = (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  stamp.fileIdHigh = 0;
  return true;
}
