#include "chrome/installer/norvel/util/file_version.h"

#include <windows.h>

#include <memory>

#include "chrome/installer/norvel/util/version_number.h"
#include "logging/file_logger.h"

namespace installer {
namespace {

uint64_t Join(DWORD most_significant, DWORD least_significant) {
  return (static_cast<uint64_t>(most_significant) << 32) | least_significant;
}

}  // namespace

FixedFileInfoStatus ReadFixedFileInfo(const std::wstring& path,
                                      FixedFileInfo* info) {
  DWORD handle = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &handle);
  if (size == 0)
    return FixedFileInfoStatus::kNoVersionResource;
  auto block = std::make_unique<BYTE[]>(size);
  if (!::GetFileVersionInfoW(path.c_str(), 0, size, block.get()))
    return FixedFileInfoStatus::kUnreadable;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixed_size = 0;
  if (!::VerQueryValueW(block.get(), L"\\", reinterpret_cast<void**>(&fixed),
                        &fixed_size) ||
      !fixed || fixed_size < sizeof(VS_FIXEDFILEINFO)) {
    return FixedFileInfoStatus::kNoFixedInfo;
  }
  info->file_version = Join(fixed->dwFileVersionMS, fixed->dwFileVersionLS);
  info->product_version =
      Join(fixed->dwProductVersionMS, fixed->dwProductVersionLS);
  info->file_date = Join(fixed->dwFileDateMS, fixed->dwFileDateLS);
  return FixedFileInfoStatus::kOk;
}

bool GetFileVersion(const std::wstring& path, uint64_t* version) {
  FixedFileInfo info;
  switch (ReadFixedFileInfo(path, &info)) {
    case FixedFileInfoStatus::kOk:
      break;
    case FixedFileInfoStatus::kNoVersionResource:
      LOG(INFO) << "No version information in file: " << path;
      return false;
    case FixedFileInfoStatus::kUnreadable:
      LOG(INFO) << "Failed to read version information of file: " << path;
      return false;
    case FixedFileInfoStatus::kNoFixedInfo:
      LOG(INFO) << "No fixed version information in file: " << path;
      return false;
  }
  *version = info.product_version;
  LOG(INFO) << "File: " << path << " Version: " << (*version >> 32) << "."
            << (*version & 0xFFFFFFFF);
  return true;
}

std::string FormatFileVersion(uint64_t version) {
  return VersionNumberToString({static_cast<uint32_t>((version >> 48) & 0xFFFF),
                                static_cast<uint32_t>((version >> 32) & 0xFFFF),
                                static_cast<uint32_t>((version >> 16) & 0xFFFF),
                                static_cast<uint32_t>(version & 0xFFFF)});
}

std::string GetFileVersionString(const std::wstring& path) {
  uint64_t version = 0;
  if (!GetFileVersion(path, &version))
    return "0.0.0.0";
  return FormatFileVersion(version);
}

}  // namespace installer
