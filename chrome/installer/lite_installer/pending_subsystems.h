#ifndef CHROME_INSTALLER_LITE_INSTALLER_PENDING_SUBSYSTEMS_H_
#define CHROME_INSTALLER_LITE_INSTALLER_PENDING_SUBSYSTEMS_H_

// Stand-ins for the subsystems that start-up calls but that are not built
// yet. Each one logs what is missing and answers with the failure or "not
// done" result of the real subsystem; none of them installs anything. Each
// is deleted when its subsystem lands.

#include <windows.h>

#include <string>

namespace lite_installer {

// Outcome of hardening the DLL search path.
enum class SecureEnvironmentResult : int {
  kInsecure = 0,         // exit with the code filled in
  kCantFindSecure = 1,   // continue
  kSecure = 2,           // continue
  kDllFilesFound = 3,    // exit with -200
  kDelegatedToCopy = 4,  // a relaunched copy ran; exit with its code
};

// DLL search-path hardening is not built: reports that no secure
// environment was found. Runs before the logger exists, so it logs nothing.
SecureEnvironmentResult PendingEnsureSecureEnvironment(int* exit_code);

// The elevated copy is not built: fails.
int PendingExecuteAsAdmin();

// The installation window is not built: shows a plain window that says so
// and returns when the user closes it, with 0 (not ended by an installer).
int PendingRunMainWindow();

// Dialogs that are not built: log instead of showing.
void PendingShowProcessorUnsupported(LANGID language_id, int reason_id);
void PendingShowNotEnoughDiskSpace();

}  // namespace lite_installer

#endif  // CHROME_INSTALLER_LITE_INSTALLER_PENDING_SUBSYSTEMS_H_
