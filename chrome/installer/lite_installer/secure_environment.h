#ifndef CHROME_INSTALLER_LITE_INSTALLER_SECURE_ENVIRONMENT_H_
#define CHROME_INSTALLER_LITE_INSTALLER_SECURE_ENVIRONMENT_H_

#include <string>

#include "base/command_line.h"

namespace lite_installer {

// Outcome of hardening the DLL search path; start-up decides from it.
enum class SecureEnvironmentResult : int {
  kInsecure = 0,         // the copy found DLLs beside itself (exit code
                         // -200) or could not be waited for: exit with the
                         // code filled in
  kCantFindSecure = 1,   // no restriction and no relaunch: continue
  kSecure = 2,           // continue
  kDllFilesFound = 3,    // exit with -200
  kDelegatedToCopy = 4,  // a relaunched copy ran; exit with its code
};

// Makes sure that no system library loaded from now on can come from the
// program's folder or the current directory: restricts the DLL search path
// to System32 where Windows offers the means, and otherwise relaunches the
// program from a fresh private directory (or, in a copy that must not
// relaunch, checks that no DLL lies beside it). `exit_code` receives the
// relaunched copy's exit code (0 otherwise). Runs before the log exists and
// logs nothing.
SecureEnvironmentResult EnsureSecureEnvironment(int* exit_code);

// True when `folder` directly holds at least one file (not a directory)
// whose name matches "*.dll". Sub-folders are not looked into.
bool HasDllFilesIn(const std::wstring& folder);

// Runs `program` as a copy in a new directory under the user's temporary
// folder, with `command_line` plus "--spawned_in_protected_dir", waits for
// it and removes the directory. kCantFindSecure when the copy could not be
// prepared or started, kInsecure when it exited with -200 or could not be
// waited for, kDelegatedToCopy otherwise; `exit_code` is the copy's.
SecureEnvironmentResult RelaunchFromProtectedDirectory(
    const std::wstring& program,
    const base::CommandLine& command_line,
    int* exit_code);

}  // namespace lite_installer

#endif  // CHROME_INSTALLER_LITE_INSTALLER_SECURE_ENVIRONMENT_H_
