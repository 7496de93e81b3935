#ifndef CHROME_INSTALLER_NORVEL_UTIL_TRUST_EXTENDED_CHECK_H_
#define CHROME_INSTALLER_NORVEL_UTIL_TRUST_EXTENDED_CHECK_H_

#include <string>

#include "chrome/installer/norvel/util/version_number.h"

// Whether a failed Authenticode check is retried with the hash only: older
// Windows versions cannot build chains for certificates issued under newer
// roots until they are updated, so there the file's hash alone is accepted
// and the list of trusted certificates decides.
namespace install_util {

// The "win7update" switch and its parameters. Nothing in the installer
// changes them; tests may.
struct Win7UpdateConfig {
  bool enabled = true;
  std::string crypt_version;  // a version text, or empty
  std::string win7_version;   // a version text, or empty
  bool verify_signer = false;
};
const Win7UpdateConfig& GetWin7UpdateConfig();

class ScopedWin7UpdateConfigForTesting {
 public:
  explicit ScopedWin7UpdateConfigForTesting(const Win7UpdateConfig& config);
  ScopedWin7UpdateConfigForTesting(const ScopedWin7UpdateConfigForTesting&) =
      delete;
  ScopedWin7UpdateConfigForTesting& operator=(
      const ScopedWin7UpdateConfigForTesting&) = delete;
  ~ScopedWin7UpdateConfigForTesting();

 private:
  Win7UpdateConfig previous_;
};

// The file version of the system's crypt32.dll; empty when unknown.
installer::VersionNumber GetCrypt32DllVersion();
// major.minor.build.update build revision; empty when unknown.
installer::VersionNumber GetWindowsVersion();

// With the default configuration: true on Windows 8.1 and older.
bool ShouldUseExtendedCheck();

}  // namespace install_util

#endif  // CHROME_INSTALLER_NORVEL_UTIL_TRUST_EXTENDED_CHECK_H_
