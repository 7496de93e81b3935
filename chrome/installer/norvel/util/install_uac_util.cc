#include "chrome/installer/norvel/util/install_uac_util.h"

#include <windows.h>

#include "logging/file_logger.h"

namespace {

constexpr wchar_t kPolicyKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
constexpr wchar_t kConsentValue[] = L"ConsentPromptBehaviorAdmin";

}  // namespace

base::ScopedKernelHandle GetProcessToken(HANDLE process) {
  base::ScopedKernelHandle token;
  if (!::OpenProcessToken(process, TOKEN_QUERY, token.Receive())) {
    PLOG(ERROR) << "OpenProcessToken fail";
    return base::ScopedKernelHandle();
  }
  return token;
}

bool GetTokenInfo(HANDLE token,
                  TOKEN_INFORMATION_CLASS info_class,
                  std::vector<uint8_t>* buffer) {
  buffer->clear();
  DWORD size = 0;
  // Fails by design (no buffer); only the size it reports matters.
  ::GetTokenInformation(token, info_class, nullptr, 0, &size);
  if (size == 0)
    return false;
  buffer->assign(size, 0);
  if (!::GetTokenInformation(token, info_class, buffer->data(), size, &size)) {
    PLOG(ERROR) << "GetTokenInformation failed";
    buffer->clear();
    return false;
  }
  return true;
}

// static
bool InstallUACUtil::IsUserAnAdminGroup(HANDLE process) {
  base::ScopedKernelHandle token = GetProcessToken(process);
  if (!token.is_valid())
    return false;
  std::vector<uint8_t> buffer;
  if (!GetTokenInfo(token.get(), TokenGroups, &buffer))
    return false;
  return HasAdministratorsGroup(
      *reinterpret_cast<const TOKEN_GROUPS*>(buffer.data()));
}

// static
bool InstallUACUtil::HasAdministratorsGroup(const TOKEN_GROUPS& groups) {
  // SECURITY_MAX_SID_SIZE (68): any well-known SID fits.
  alignas(DWORD) uint8_t admins[SECURITY_MAX_SID_SIZE];
  DWORD admins_size = sizeof(admins);
  if (!::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins,
                            &admins_size)) {
    PLOG(ERROR) << "CreateWellKnownSid failed";
    return false;
  }
  // Attributes are not looked at: SE_GROUP_USE_FOR_DENY_ONLY still means
  // the user is a member.
  for (DWORD i = 0; i < groups.GroupCount; ++i) {
    if (::EqualSid(admins, groups.Groups[i].Sid))
      return true;
  }
  return false;
}

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
