#include "base/system_facts.h"

#include <shlobj.h>

namespace base {

bool SystemFacts::IsProcessorFeaturePresent(DWORD feature) const {
  return ::IsProcessorFeaturePresent(feature) != FALSE;
}

std::optional<SystemFacts::Version> SystemFacts::GetWindowsVersion() const {
  OSVERSIONINFOW info = {sizeof(info)};
  // The manifest declares Windows 10 support, so the answer is not capped at
  // Windows 8.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!::GetVersionExW(&info))
    return std::nullopt;
#pragma GCC diagnostic pop
  return Version{info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber};
}

std::optional<uint64_t> SystemFacts::GetFreeDiskSpace(
    const wchar_t* folder) const {
  ULARGE_INTEGER free_to_caller;
  if (!::GetDiskFreeSpaceExW(folder, &free_to_caller, nullptr, nullptr))
    return std::nullopt;
  return free_to_caller.QuadPart;
}

std::string SystemFacts::GetUserRegion() const {
  GEOID geo = ::GetUserGeoID(GEOCLASS_NATION);
  if (geo == GEOID_NOT_AVAILABLE)
    return std::string();
  wchar_t iso2[3] = {};
  // The count includes the terminating NUL: exactly two letters give 3.
  if (::GetGeoInfoW(geo, GEO_ISO2, iso2, 3, 0) != 3)
    return std::string();
  return std::string{static_cast<char>(iso2[0] & 0xFF),
                     static_cast<char>(iso2[1] & 0xFF)};
}

LANGID SystemFacts::GetUserDefaultUILanguage() const {
  return ::GetUserDefaultUILanguage();
}

FARPROC SystemFacts::GetKernel32Function(const char* name) const {
  HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
  return kernel32 ? ::GetProcAddress(kernel32, name) : nullptr;
}

std::optional<bool> SystemFacts::GetAdminGroupMembership() const {
  return std::nullopt;
}

bool SystemFacts::IsUserAnAdmin() const {
  return ::IsUserAnAdmin() != FALSE;
}

}  // namespace base
