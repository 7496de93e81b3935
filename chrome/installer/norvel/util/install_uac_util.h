#ifndef CHROME_INSTALLER_NORVEL_UTIL_INSTALL_UAC_UTIL_H_
#define CHROME_INSTALLER_NORVEL_UTIL_INSTALL_UAC_UTIL_H_

#include <windows.h>

#include <cstdint>
#include <vector>

#include "base/scoped_handle.h"

// The token of `process`, opened for queries; invalid (logged) when the
// handle does not allow it.
base::ScopedKernelHandle GetProcessToken(HANDLE process);

// `token`'s information of `info_class` into `buffer` (zero-filled, sized
// as the system asks). False when the size cannot be learnt or the second
// query fails (logged); `buffer` is then empty.
bool GetTokenInfo(HANDLE token,
                  TOKEN_INFORMATION_CLASS info_class,
                  std::vector<uint8_t>* buffer);

// User account control as the installer sees it.
class InstallUACUtil {
 public:
  // Whether the user of `process` belongs to the Administrators group. The
  // group counts whatever its attributes: in the filtered token that UAC
  // gives an administrator's ordinary processes it is marked deny-only, and
  // such a user can still be elevated. False when the token cannot be read.
  static bool IsUserAnAdminGroup(HANDLE process);
  // Whether `groups` holds the Administrators group, in any entry and
  // whatever its attributes.
  static bool HasAdministratorsGroup(const TOKEN_GROUPS& groups);

  // Whether Windows shows consent prompts to administrators: the policy
  // value "ConsentPromptBehaviorAdmin" is not 0. A missing key or value, or
  // one that is not a DWORD, counts as 0 (no prompts). Logs the value read.
  static bool AreUACNotificationsEnabled();
};

#endif  // CHROME_INSTALLER_NORVEL_UTIL_INSTALL_UAC_UTIL_H_
