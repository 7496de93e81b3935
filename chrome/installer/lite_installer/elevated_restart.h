#ifndef CHROME_INSTALLER_LITE_INSTALLER_ELEVATED_RESTART_H_
#define CHROME_INSTALLER_LITE_INSTALLER_ELEVATED_RESTART_H_

// The elevated copy of an interactive installer: how it is started through
// the elevation prompt (Installer::RestartAsAdmin, installer_elevation.cc)
// and what it does once started (ExecuteAsAdmin).

#include <windows.h>
#include <shellapi.h>

#include <cstdint>

#include "chrome/installer/lite_installer/installer.h"

namespace lite_installer {

// The time remaining, as the copy posts it to the interactive window
// (seconds, state); its percent goes as kProgressUpdateMessage.
inline constexpr UINT kTimeRemainingMessage = WM_APP + 101;

// The elevated copy's delegate: what setup's run reports goes straight to
// the interactive installer's window in the other process. The copy never
// downloads and never shows a result, so the download and result slots are
// never called there; they do nothing.
class ElevatedForwardingDelegate : public Installer::Delegate {
 public:
  explicit ElevatedForwardingDelegate(HWND window) : window_(window) {}
  ~ElevatedForwardingDelegate() override = default;

  void OnDownloadProgress(float fraction) override {}
  void OnSlowDownload() override {}
  void OnTimeRemaining(int32_t seconds, int32_t state) override;
  void OnInstallFinished(bool finished) override {}
  void OnInstallError(InstallErrorKind kind) override {}
  uint32_t GetWindowHandle() override;
  void SetProgress(int32_t percent) override;
  void DisableCancel() override;

 private:
  HWND window_;
};

// The owner of the elevation prompt: a 0x0 tool popup centred on the work
// area of the monitor nearest to it and, when `visible`, topmost, so that
// the prompt comes up in front of the installer's window.
HWND CreatePromptOwnerWindow(bool visible);

// The elevated copy's whole run ("run-as-admin"): waits for the interactive
// installer's go, then runs setup with the prepared line completed from the
// shared block. kExitElevatedSuccess or kExitElevatedFailure.
int ExecuteAsAdmin();

// The launch of the elevated copy (ShellExecuteExW). Tests replace it to
// answer as a declined or failed prompt would; null restores the real one.
using ShellExecuteExFunction = BOOL(WINAPI*)(SHELLEXECUTEINFOW* info);
void SetShellExecuteExForTesting(ShellExecuteExFunction function);
ShellExecuteExFunction GetShellExecuteEx();

}  // namespace lite_installer

#endif  // CHROME_INSTALLER_LITE_INSTALLER_ELEVATED_RESTART_H_
