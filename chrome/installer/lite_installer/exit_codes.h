#ifndef CHROME_INSTALLER_LITE_INSTALLER_EXIT_CODES_H_
#define CHROME_INSTALLER_LITE_INSTALLER_EXIT_CODES_H_

#include "chrome/installer/norvel/util/win10_default_browser.h"

namespace lite_installer {

// Values returned by the process. A silent or completed windowed run returns
// the installer's own exit code instead (InstallerExitCode).
enum ProcessExitCode : int {
  kExitElevatedSuccess = 0,
  kExitElevatedFailure = -1,
  kExitDllFilesFound = -200,
  kExitNotEnoughDiskSpace = 403,
  kExitCpuNotSupported = 404,
  kExitWindowsTooOld = 405,  // full flavour only
  kExitUserCancelled = 500,
  kExitAnotherInstanceRunning = 600,
  // "check-the-interface", as the default-browser check reads them.
  kExitAssociationInterfaceUsable =
      installer::win10_default_browser::kCheckExitInterfaceUsable,  // 700
  kExitAssociationInterfaceNotUsable =
      installer::win10_default_browser::kCheckExitInterfaceNotUsable,  // 701
};

// The installer's exit code, when setup did not provide one.
enum InstallerExitCode : int {
  kInstallerExitDefault = 400,
  kInstallerExitModuleNotObtained = 401,
  kInstallerExitModuleNotVerified = 402,
};

}  // namespace lite_installer

#endif  // CHROME_INSTALLER_LITE_INSTALLER_EXIT_CODES_H_
