#include "crash/module_version.h"

#include <memory>

#include "base/platform_log.h"
#include "base/strings.h"

namespace crashpad {

bool GetModuleVersionAndType(const std::wstring& path, VS_FIXEDFILEINFO* info) {
  const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), nullptr);
  std::unique_ptr<char[]> data(size ? new char[size] : nullptr);
  if (!size || !::GetFileVersionInfoW(path.c_str(), 0, size, data.get())) {
    base::PlatformLogWarning("GetFileVersionInfo: " + base::WideToUTF8(path));
    return false;
  }
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixed_size = 0;
  if (!::VerQueryValueW(data.get(), L"\\", reinterpret_cast<void**>(&fixed),
                        &fixed_size) ||
      fixed_size < sizeof(*fixed)) {
    base::PlatformLogWarning("VerQueryValue: " + base::WideToUTF8(path));
    return false;
  }
  *info = *fixed;
  return true;
}

}  // namespace crashpad
