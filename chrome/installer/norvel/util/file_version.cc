#include "chrome/installer/norvel/util/file_version.h"

#include <windows.h>

#include <memory>

#include "logging/file_logger.h"

namespace installer {

bool GetFileVersion(const std::wstring& path, uint64_t* version) {
  DWORD handle = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &handle);
  if (size == 0) {
    LOG(INFO) << "No version information in file: " << path;
    return false;
  }
  auto block = std::make_unique<BYTE[]>(size);
  if (!::GetFileVersionInfoW(path.c_str(), 0, size, block.get())) {
    LOG(INFO) << "Failed to read version information of file: " << path;
    return false;
  }
  VS_FIXEDFILEINFO* info = nullptr;
  UINT info_size = 0;
  if (!::VerQueryValueW(block.get(), L"\\", reinterpret_cast<void**>(&info),
                        &info_size) ||
      !info || info_size < sizeof(VS_FIXEDFILEINFO)) {
    LOG(INFO) << "No fixed version information in file: " << path;
    return false;
  }
  *version = (static_cast<uint64_t>(info->dwProductVersionMS) << 32) |
             info->dwProductVersionLS;
  LOG(INFO) << "File: " << path << " Version: " << info->dwProductVersionMS
            << "." << info->dwProductVersionLS;
  return true;
}

std::string FormatFileVersion(uint64_t version) {
  return std::to_string((version >> 48) & 0xFFFF) + "." +
         std::to_string((version >> 32) & 0xFFFF) + "." +
         std::to_string((version >> 16) & 0xFFFF) + "." +
         std::to_string(version & 0xFFFF);
}

std::string GetFileVersionString(const std::wstring& path) {
  uint64_t version = 0;
  if (!GetFileVersion(path, &version))
    return "0.0.0.0";
  return FormatFileVersion(version);
}

}  // namespace installer
