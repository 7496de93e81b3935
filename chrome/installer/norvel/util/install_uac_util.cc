#include "chrome/installer/norvel/util/install_uac_util.h"

#include <windows.h>

#include "logging/file_logger.h"

namespace {

constexpr wchar_t kPolicyKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
constexpr wchar_t kConsentValue[] = L"ConsentPromptBehaviorAdmin";

}  // namespace

// static
bool InstallUACUtil::AreUACNotificationsEnabled() {
  DWORD value = 0;
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kPolicyKey, 0, KEY_READ, &key) ==
      ERROR_SUCCESS) {
    DWORD type = 0;
    DWORD data = 0;
    DWORD size = sizeof(data);
    if (::RegQueryValueExW(key, kConsentValue, nullptr, &type,
                           reinterpret_cast<BYTE*>(&data),
                           &size) == ERROR_SUCCESS &&
        type == REG_DWORD && size == sizeof(data)) {
      value = data;
    }
    ::RegCloseKey(key);
  }
  LOG(INFO) << "Read HKEY_LOCAL_MACHINE\\" << kPolicyKey << "\\"
            << kConsentValue << " which is \"" << value << "\"";
  return value != 0;
}
