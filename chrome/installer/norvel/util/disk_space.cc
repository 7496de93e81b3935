#include "chrome/installer/norvel/util/disk_space.h"

#include <windows.h>
#include <shlobj.h>

#include "base/system_facts.h"
#include "logging/file_logger.h"

namespace installer {

bool HasEnoughDiskSpace(bool system_level, uint32_t required_bytes) {
  wchar_t folder[MAX_PATH];
  const int csidl = system_level ? CSIDL_PROGRAM_FILES : CSIDL_LOCAL_APPDATA;
  if (FAILED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT,
                                folder))) {
    LOG(INFO) << "SHGetFolderPath failed";
    return true;
  }
  std::optional<uint64_t> free_bytes =
      base::SystemFacts::Current().GetFreeDiskSpace(folder);
  if (!free_bytes) {
    LOG(INFO) << "GetDiskFreeSpaceEx failed";
    return true;
  }
  if (*free_bytes >= required_bytes)
    return true;
  LOG(INFO) << "There is not enough disk space to install browser";
  return false;
}

}  // namespace installer
