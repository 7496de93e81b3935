// The elevated restart: the decision, the start of the elevated copy through
// the elevation prompt, and the copy's own run.

#include "chrome/installer/lite_installer/elevated_restart.h"

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "base/command_line.h"
#include "base/scoped_handle.h"
#include "base/strings.h"
#include "base/system_facts.h"
#include "base/windows_version.h"
#include "chrome/installer/lite_installer/exit_codes.h"
#include "chrome/installer/lite_installer/installer_options.h"
#include "chrome/installer/lite_installer/main_window.h"
#include "chrome/installer/lite_installer/switches.h"
#include "chrome/installer/norvel/util/install_uac_util.h"
#include "logging/file_logger.h"

namespace lite_installer {

namespace {

ShellExecuteExFunction g_shell_execute_ex = nullptr;

BOOL WINAPI RealShellExecuteEx(SHELLEXECUTEINFOW* info) {
  return ::ShellExecuteExW(info);
}

// The parent's id as the copy was given it. False when the text is not a
// whole decimal number of 32 bits; `pid` then holds what strtoul made of it.
bool ParseProcessId(const std::string& text, DWORD* pid) {
  const char* begin = text.c_str();
  char* end = nullptr;
  errno = 0;
  const unsigned long value = std::strtoul(begin, &end, 10);
  *pid = static_cast<DWORD>(value);
  return !text.empty() && end == begin + text.size() && errno == 0 &&
         value <= 0xFFFFFFFFul && text[0] >= '0' && text[0] <= '9';
}

}  // namespace

void ElevatedForwardingDelegate::OnTimeRemaining(int32_t seconds,
                                                 int32_t state) {
  ::PostMessageW(window_, kTimeRemainingMessage, static_cast<WPARAM>(seconds),
                 static_cast<LPARAM>(state));
}

uint32_t ElevatedForwardingDelegate::GetWindowHandle() {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window_));
}

void ElevatedForwardingDelegate::SetProgress(int32_t percent) {
  ::PostMessageW(window_, kProgressUpdateMessage, static_cast<WPARAM>(percent), 0);
}

void ElevatedForwardingDelegate::DisableCancel() {
  ::ShowWindow(::GetDlgItem(window_, kCancelButtonId), SW_HIDE);
}

HWND CreatePromptOwnerWindow(bool visible) {
  HWND window = ::CreateWindowExW(
      WS_EX_TOOLWINDOW, L"STATIC", nullptr,
      WS_POPUP | (visible ? WS_VISIBLE : 0), 0, 0, 0, 0, nullptr, nullptr,
      ::GetModuleHandleW(nullptr), nullptr);
  if (!window) {
    PLOG(ERROR) << "Cannot create the elevation prompt's owner window";
    return nullptr;
  }
  MONITORINFO monitor = {sizeof(monitor)};
  if (::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST),
                        &monitor)) {
    const RECT& area = monitor.rcWork;
    ::MoveWindow(window, area.left + (area.right - area.left) / 2,
                 area.top + (area.bottom - area.top) / 2, 0, 0, FALSE);
  }
  if (visible) {
    ::SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0,
                   SWP_SHOWWINDOW | SWP_NOMOVE | SWP_NOSIZE);
  }
  return window;
}

void SetShellExecuteExForTesting(ShellExecuteExFunction function) {
  g_shell_execute_ex = function;
}

ShellExecuteExFunction GetShellExecuteEx() {
  return g_shell_execute_ex ? g_shell_execute_ex : &RealShellExecuteEx;
}

int ExecuteAsAdmin() {
  const InstallerOptions& options = InstallerOptions::ForCurrentProcess();
  const base::CommandLine& own_line = options.command_line;
  const std::wstring setup_text = own_line.GetSwitchValue(switches::kSetupCmdLine);
  const std::string pid_text =
      own_line.GetSwitchValueNarrow(switches::kParentInstallerProcessId);
  DWORD parent_pid = 0;
  if (!ParseProcessId(pid_text, &parent_pid))
    PLOG(ERROR) << "Suspicious process id=" << pid_text;

  // Inheritable as the original does; the copy starts no process that
  // could use it but setup, which never looks.
  base::ScopedKernelHandle parent(::OpenProcess(SYNCHRONIZE, TRUE, parent_pid));
  LOG(INFO) << "Start installer as admin";
  base::CommandLine setup_line = base::CommandLine::FromString(setup_text);

  base::ScopedKernelHandle go_event(::OpenEventA(
      SYNCHRONIZE, FALSE, Installer::ElevatedProcessHolder::kGoEventName));
  base::ScopedKernelHandle cancel_event(::OpenEventA(
      SYNCHRONIZE, FALSE, Installer::ElevatedProcessHolder::kCancelEventName));
  // A missing handle (a copy started by hand, a parent already gone) makes
  // the wait fail at once: the copy never waits for what cannot come.
  const HANDLE handles[] = {go_event.get(), cancel_event.get(), parent.get()};
  const DWORD wait_result =
      ::WaitForMultipleObjects(3, handles, FALSE, INFINITE);
  if (wait_result != WAIT_OBJECT_0) {
    PLOG(ERROR) << "Installer started as admin has been unexpectedly synced, wr="
                << wait_result;
    return kExitElevatedFailure;
  }

  Installer::ApplyDelayedParams(&setup_line);
  const std::wstring archive = setup_line.GetProgram();
  if (::GetFileAttributesW(archive.c_str()) == INVALID_FILE_ATTRIBUTES) {
    PLOG(ERROR) << "Browser archive " << archive << " does not exist";
    return kExitElevatedFailure;
  }

  const HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(std::wcstol(
      setup_line.GetSwitchValue(switches::kProgressWindow).c_str(), nullptr,
      10)));
  ElevatedForwardingDelegate delegate(window);
  auto installer = std::make_unique<Installer>(&delegate, nullptr, nullptr,
                                               /*with_async_tasks=*/false);

  // The archive's path came through a block that any process of this
  // program file can write, at any privilege: this elevated process runs
  // nothing it has not locked against writers and verified itself. The lock
  // is kept until setup has ended.
  base::ScopedFileHandle lock(::CreateFileW(
      archive.c_str(), GENERIC_READ | GENERIC_EXECUTE, FILE_SHARE_READ, nullptr,
      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!lock.is_valid()) {
    PLOG(ERROR) << "Cannot lock file: " << archive;
    return kExitElevatedFailure;
  }
  if (!installer->VerifyDownloadedModule(archive)) {
    PLOG(ERROR) << "Module verification failed: " << archive;
    return kExitElevatedFailure;
  }

  const bool ok = installer->RunModule(archive, setup_line);
  LOG(INFO) << "RunModule results: success=" << (ok ? 1 : 0)
            << " error_code=" << installer->exit_code();
  installer.reset();
  return ok ? kExitElevatedSuccess : kExitElevatedFailure;
}

}  // namespace lite_installer

bool Installer::NeedStartThisProcessAsAdmin() const {
  const base::SystemFacts& facts = base::SystemFacts::Current();
  const std::optional<bool> decided = facts.GetAdminGroupMembership();
  if (!(decided ? *decided
                : InstallUACUtil::IsUserAnAdminGroup(::GetCurrentProcess()))) {
    LOG(INFO) << "User is not in admin group.";
    return false;
  }
  if (base::GetWindowsVersionClass() < base::kWinVista) {
    LOG(INFO) << "Windows version is not suitable for elevated restart.";
    return false;
  }
  const base::CommandLine& line = options_->command_line;
  if (const char* name = lite_installer::FindNonInstallSwitch(line)) {
    LOG(INFO) << "Found non install-switch:" << name;
    return false;
  }
  if (line.HasSwitch(lite_installer::switches::kRunAsAdmin)) {
    LOG(INFO) << "Run-as-admin functionality is already enabled.";
    return false;
  }
  if (line.HasSwitch(lite_installer::switches::kSilent) &&
      !line.HasSwitch(lite_installer::switches::kUacEnabled) &&
      !facts.IsUserAnAdmin()) {
    LOG(INFO) << "Elevated run is necessary but silent instalation is "
                 "requested - UAC will not be shown.";
    return false;
  }
  return true;
}

bool Installer::RestartAsAdmin() {
  namespace sw = lite_installer::switches;
  base::CommandLine copy = base::CommandLine::ForCurrentProcess();
  copy.AppendSwitch(sw::kRunAsAdmin);
  copy.AppendSwitch(sw::kParentInstallerProcessId,
                    base::NumberToWide(::GetCurrentProcessId()));

  WaitForDataFiles();
  copy.AppendSwitch(
      sw::kSetupCmdLine,
      BuildSetupCommandLine(kPreparedArchivePath, /*include_data_files=*/false)
          .GetCommandLineString());

  const std::wstring program = copy.GetProgram();
  copy.SetProgram(std::wstring());
  const std::wstring arguments = copy.GetCommandLineString();

  HWND owner = lite_installer::CreatePromptOwnerWindow(/*visible=*/true);
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.hwnd = owner;
  info.lpVerb = L"runas";
  info.lpFile = program.c_str();
  info.lpParameters = arguments.c_str();
  info.nShow = SW_SHOW;

  // The events exist before the copy can look for them.
  auto holder = std::make_unique<ElevatedProcessHolder>();
  holder->SetEvents(
      ::CreateEventA(nullptr, FALSE, FALSE, ElevatedProcessHolder::kGoEventName),
      ::CreateEventA(nullptr, FALSE, FALSE,
                     ElevatedProcessHolder::kCancelEventName));
  elevated_process_holder_ = std::move(holder);

  LOG(INFO) << "Start the elevated installer: " << program << arguments;
  if (lite_installer::GetShellExecuteEx()(&info)) {
    elevated_process_holder_->SetProcess(info.hProcess, owner);
    return true;
  }
  // Logged first: the event below may change the last error.
  PLOG(ERROR) << "Cannot start the elevated installer " << program;
  SendClickedButtonEvent(L"uac_declined");
  elevated_process_holder_.reset();
  if (reinterpret_cast<INT_PTR>(info.hInstApp) == SE_ERR_ACCESSDENIED)
    uac_declined_ = true;
  if (owner)
    ::DestroyWindow(owner);
  return false;
}

void Installer::WaitForDataFiles() {
  if (!install_thread_.is_valid())
    return;
  const HANDLE handles[] = {data_files_ready_event_.get(), install_thread_.get()};
  if (::WaitForMultipleObjects(2, handles, FALSE, data_files_wait_ms_) ==
      WAIT_TIMEOUT) {
    LOG(WARNING) << "The data files for setup are not ready after "
                 << data_files_wait_ms_ << " ms; setup gets none of them";
  }
}

bool Installer::DataFilesSettled() const {
  // Signalled by the install thread once it has filled the paths, before it
  // asks for setup's line itself; an installer without a thread fills them
  // on the caller's thread.
  return ::WaitForSingleObject(data_files_ready_event_.get(), 0) ==
             WAIT_OBJECT_0 ||
         !install_thread_.is_valid();
}
