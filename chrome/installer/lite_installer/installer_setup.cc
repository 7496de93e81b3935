// Running setup: the wait for the user's release, the archive lock,
// verification, and setup run directly or through the elevated copy.

#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "base/strings.h"
#include "brand/brand_package_info.h"
#include "brand/distrib_info_params.h"
#include "chrome/installer/lite_installer/delayed_params.h"
#include "chrome/installer/lite_installer/installer.h"
#include "chrome/installer/lite_installer/lite_installer_helpers.h"
#include "chrome/installer/lite_installer/monotonic_time.h"
#include "chrome/installer/lite_installer/setup_exit_code.h"
#include "chrome/installer/lite_installer/startup_flavour.h"
#include "chrome/installer/norvel/util/norvel_trust_verifier.h"
#include "logging/file_logger.h"

namespace {

using lite_installer::DelayedParams;
using lite_installer::GetDelayedParams;

// Deletes the archive whenever InstallBrowser returns.
class ScopedDeleteFile {
 public:
  explicit ScopedDeleteFile(const std::wstring& path) : path_(path) {}
  ~ScopedDeleteFile() { ::DeleteFileW(path_.c_str()); }

 private:
  const std::wstring& path_;
};

// Whole seconds of a microsecond duration; the extremes pass unchanged.
std::wstring WholeSeconds(int64_t microseconds) {
  if (microseconds == INT64_MIN || microseconds == INT64_MAX)
    return base::NumberToWide(microseconds);
  return base::NumberToWide(microseconds / 1000000);
}

template <size_t N>
void CopyField(wchar_t (&field)[N], const std::wstring& value) {
  std::wmemcpy(field, value.c_str(), value.size() + 1);
}

template <size_t N>
std::wstring ReadField(const wchar_t (&field)[N]) {
  // The other process wrote it; never trust the terminator to be there.
  return std::wstring(field, wcsnlen(field, N));
}

}  // namespace

PermanentLockFile::PermanentLockFile(std::wstring path)
    : path_(std::move(path)),
      file_(::CreateFileW(path_.c_str(),
                          GENERIC_WRITE,
                          FILE_SHARE_READ,
                          nullptr,
                          CREATE_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL,
                          nullptr)) {}

PermanentLockFile::~PermanentLockFile() = default;

bool PermanentLockFile::Lock() {
  // First a read/execute handle that still tolerates the old writer handle,
  // then one that shares reading only, so no writer can come back.
  base::ScopedFileHandle shared(
      ::ReOpenFile(file_.get(), GENERIC_READ | GENERIC_EXECUTE,
                   FILE_SHARE_READ | FILE_SHARE_WRITE, 0));
  if (!shared.is_valid())
    return false;
  file_.reset();
  base::ScopedFileHandle exclusive(::ReOpenFile(
      shared.get(), GENERIC_READ | GENERIC_EXECUTE, FILE_SHARE_READ, 0));
  if (!exclusive.is_valid())
    return false;
  shared.reset();
  file_ = std::move(exclusive);
  return true;
}

int Installer::InstallBrowser() {
  LOG(INFO) << "Install Browser.";
  module_path_ = GetModulePath();
  if (module_path_.empty())
    return kInstallErrorGeneric;

  std::string permanent_lock_value;
  const bool permanent_lock =
      distrib_params_ &&
      distrib_params_->Get("setup_arc_permanent_lock", &permanent_lock_value) &&
      !permanent_lock_value.empty();

  LOG(INFO) << "Executable path: " << module_path_;
  ::DeleteFileW(module_path_.c_str());
  ScopedDeleteFile delete_archive(module_path_);

  const int64_t t0 = lite_installer::MonotonicNowUs();
  std::unique_ptr<PermanentLockFile> lock_file;
  const int module_result =
      GetModule(module_path_, permanent_lock ? &lock_file : nullptr);
  if (module_result != 0)
    return module_result;

  const int64_t t1 = lite_installer::MonotonicNowUs();
  HANDLE events[] = {stop_event_.get(), install_after_download_event_.get()};
  if (::WaitForMultipleObjects(2, events, FALSE, INFINITE) !=
      WAIT_OBJECT_0 + 1) {
    PLOG(ERROR) << "Installation after download event isn't in signal state "
                   "or installation was stopped early.";
    return kInstallErrorGeneric;
  }

  const int64_t t2 = lite_installer::MonotonicNowUs();
  base::ScopedFileHandle lock;
  if (permanent_lock) {
    if (!lock_file || !lock_file->is_valid() || !lock_file->Lock()) {
      SendStatEvent("setup_arc_lock");
      PLOG(ERROR) << "Cannot lock file: " << module_path_;
      return kInstallErrorGeneric;
    }
  } else {
    lock.reset(::CreateFileW(
        module_path_.c_str(), GENERIC_READ | GENERIC_EXECUTE, FILE_SHARE_READ,
        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!lock.is_valid()) {
      PLOG(ERROR) << "Cannot lock file: " << module_path_;
      return kInstallErrorGeneric;
    }
  }

  if (!VerifyDownloadedModule(module_path_)) {
    PLOG(ERROR) << "Module verification failed: " << module_path_;
    exit_code_ = 402;
    SendStatEvent("verification_error");
    return kInstallErrorGeneric;
  }
  LOG(INFO) << "Verification succeeded: " << module_path_;
  const int64_t setup_start = lite_installer::MonotonicNowUs();
  SendStatEvent("setup_exe_launched");

  bool ok;
  if (elevated_process_holder_) {
    const bool partner = brand_ && brand_->partner_package_extracted_;
    const bool brand_package = brand_ && brand_->brand_package_extracted_;
    if (!ElevatedProcessHolder::WriteDelayedParams(
            module_path_, clids_file_path_, website_icon_path_,
            installer_data_path_,
            brand_package ? brand_->brand_package_path_ : std::wstring(),
            partner ? brand_->partner_package_path_ : std::wstring(),
            override_partner_package_, WholeSeconds(download_time_),
            base::NumberToWide(install_start_time_), send_statistics_,
            make_default_, install_nrpin_)) {
      PLOG(ERROR) << "Unexpected error in CreateDelayedParamsMapping()";
      return kInstallErrorGeneric;
    }
    ok = RunModuleInElevatedProcess();
  } else {
    ok = RunModule(module_path_, BuildSetupCommandLine(module_path_, true));
    launch_browser_ = ok;
  }

  lock.reset();
  lock_file.reset();
  setup_time_ = lite_installer::MonotonicNowUs() - setup_start;
  SendStatEvent(ok ? "setup_exe_exited_ok" : "setup_exe_exited_failed");

  if (ok) {
    elevated_process_holder_.reset();
    if (!WillLaunchBrowser() && delegate_) {
      delegate_->SetProgress(100);
      delegate_->OnInstallFinished(true);
      delegate_ = nullptr;
    }
    const int64_t t3 = lite_installer::MonotonicNowUs();
    total_time_ = (t1 - t0) + (t3 - t2);
    return 0;
  }
  if (elevated_process_holder_) {
    int result = GetDelayedParams().error_kind;
    if (result == 0) {
      result = elevated_process_holder_->exit_code() == 600
                   ? kInstallErrorElevatedAnotherInstance
                   : kInstallErrorGeneric;
    }
    elevated_process_holder_.reset();
    return result;
  }
  return kInstallErrorGeneric;
}

bool Installer::VerifyDownloadedModule(const std::wstring& path) {
  // The trusted list travels inside the archive, signed with a pinned key.
  return VerifyModuleWithTrustJson(
      path, install_util::NorvelTrustVerifier::GetTrustJsonFromModule(path),
      lite_installer::IsFullInstaller);
}

bool Installer::VerifyModuleWithTrustJson(const std::wstring& path,
                                          const std::string& trust_json,
                                          bool prevent_network_use) {
  install_util::TrustedCertificateMap trusted;
  if (!install_util::NorvelTrustVerifierBase::GetTrustedFiles(trust_json,
                                                              &trusted)) {
    trusted.clear();
  }
  install_util::NorvelTrustVerifier verifier(std::move(trusted));
  if (VerifyModuleOnce(path, &verifier, prevent_network_use))
    return true;
  // Revocation data may only be reachable over the network.
  return prevent_network_use && VerifyModuleOnce(path, &verifier, false);
}

bool Installer::VerifyModuleOnce(const std::wstring& path,
                                 install_util::NorvelTrustVerifier* verifier,
                                 bool prevent_network_use) {
  return verifier->VerifyModule(path, prevent_network_use);
}

bool Installer::RunModule(const std::wstring& path,
                          const base::CommandLine& command_line) {
  base::CommandLine line = command_line;
  line.SetProgram(path);
  line.AppendSwitch("source",
                    lite_installer::IsFullInstaller ? L"full" : L"lite");
  return RunModuleAndWait(nullptr, line.GetCommandLineString(), &exit_code_);
}

bool Installer::RunModuleAndWait(const wchar_t* application_name,
                                 const std::wstring& command_line,
                                 int32_t* exit_code) {
  LOG(INFO) << "Run: " << command_line;
  if (exit_code)
    *exit_code = 400;
  std::wstring mutable_line = command_line;
  STARTUPINFOW startup = {sizeof(startup)};
  PROCESS_INFORMATION info = {};
  if (!::CreateProcessW(application_name, mutable_line.data(), nullptr, nullptr,
                        FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                        &info)) {
    if (::GetLastError() == ERROR_EXE_MACHINE_TYPE_MISMATCH)
      GetDelayedParams().error_kind = kInstallErrorMachineTypeMismatch;
    PLOG(ERROR) << "Create process failed.";
    return false;
  }
  base::ScopedKernelHandle process(info.hProcess);
  LOG(INFO) << "Process created: " << info.dwProcessId;
  if (delegate_) {
    delegate_->SetProgress(40);
    delegate_->DisableCancel();
  }
  ::CloseHandle(info.hThread);
  LOG(INFO) << "Wait for process finish.";
  if (::WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0) {
    PLOG(ERROR) << "Wait process failed.";
    return false;
  }
  if (!exit_code)
    return true;
  DWORD code = 400;
  const bool got_code = ::GetExitCodeProcess(process.get(), &code) != FALSE;
  if (!got_code) {
    PLOG(ERROR) << "Get setup process exit code failed.";
    code = 400;
  }
  *exit_code = static_cast<int32_t>(code);
  LOG(INFO) << "Setup process exit with code: "
            << lite_installer::FormatSetupExitCode(code);
  if (code == 7) {
    GetDelayedParams().error_kind = kInstallErrorSetupExit7;
    return false;
  }
  if (code == 8) {
    GetDelayedParams().error_kind = kInstallErrorSetupExit8;
    return false;
  }
  return got_code;
}

bool Installer::RunModuleInElevatedProcess() {
  LOG(INFO) << "Started waiting the elevated installer has finished its work.";
  const bool ok = elevated_process_holder_->RunModule(stop_event_.get());
  LOG(INFO) << "The elevated installer has finished, success=" << ok;
  return ok;
}

Installer::ElevatedProcessHolder::ElevatedProcessHolder() = default;

void Installer::ElevatedProcessHolder::SetProcess(HANDLE process,
                                                  HWND owner_window) {
  process_ = process;
  owner_window_ = owner_window;
}

void Installer::ElevatedProcessHolder::SetEvents(HANDLE go_event,
                                                 HANDLE cancel_event) {
  go_event_ = go_event;
  cancel_event_ = cancel_event;
}

Installer::ElevatedProcessHolder::~ElevatedProcessHolder() {
  if (process_) {
    // A copy that was never told to run is told to give up.
    if (!run_requested_ && cancel_event_)
      ::SetEvent(cancel_event_);
    EnsureProcessFinished();
  } else {
    Close();
  }
}

bool Installer::ElevatedProcessHolder::RunModule(HANDLE stop_event) {
  run_requested_ = 1;
  ::SetEvent(go_event_);
  HANDLE handles[] = {stop_event, process_};
  switch (::WaitForMultipleObjects(2, handles, FALSE, INFINITE)) {
    case WAIT_OBJECT_0 + 1:
      if (!::GetExitCodeProcess(process_, &exit_code_))
        PLOG(ERROR) << "Failed to get exit code of the elevated installer.";
      return exit_code_ == 0;
    case WAIT_OBJECT_0:
      PLOG(ERROR) << "The elevated installer was terminated due to stop event.";
      return false;
    default:
      return false;
  }
}

void Installer::ElevatedProcessHolder::EnsureProcessFinished() {
  if (process_ && ::WaitForSingleObject(process_, wait_ms_) == WAIT_TIMEOUT) {
    terminated_ = 1;
    PLOG(ERROR) << "The elevated installer hangs and must be forcibly "
                   "terminated.";
    ::TerminateProcess(process_, 0);
  }
  Close();
}

void Installer::ElevatedProcessHolder::Close() {
  for (HANDLE* handle : {&process_, &go_event_, &cancel_event_}) {
    if (*handle) {
      ::CloseHandle(*handle);
      *handle = nullptr;
    }
  }
  if (owner_window_) {
    ::DestroyWindow(owner_window_);
    owner_window_ = nullptr;
  }
}

// static
bool Installer::ElevatedProcessHolder::WriteDelayedParams(
    const std::wstring& browser_arc_path,
    const std::wstring& clids_file_path,
    const std::wstring& website_icon_path,
    const std::wstring& installer_data_path,
    const std::wstring& brand_package_path,
    const std::wstring& partner_package_path,
    const std::wstring& partner_override_path,
    const std::wstring& download_time,
    const std::wstring& full_time,
    uint8_t send_statistics,
    uint8_t make_default,
    uint8_t install_nrpin) {
  constexpr size_t kMaxPath = lite_installer::kDelayedPathUnits - 1;
  constexpr size_t kMaxNumber = lite_installer::kDelayedNumberUnits - 1;
  bool fits =
      download_time.size() <= kMaxNumber && full_time.size() <= kMaxNumber;
  for (const std::wstring* path :
       {&browser_arc_path, &clids_file_path, &website_icon_path,
        &installer_data_path, &brand_package_path, &partner_package_path,
        &partner_override_path}) {
    fits = fits && path->size() <= kMaxPath;
  }
  if (!fits) {
    PLOG(ERROR) << "Too large string length,"
                << " browser_arc_path=" << browser_arc_path
                << " clids_file_path=" << clids_file_path
                << " norvel_website_icon_file_path=" << website_icon_path
                << " installer_data_path=" << installer_data_path
                << " brand_package_path=" << brand_package_path
                << " partner_package_path=" << partner_package_path
                << " partner_package_override_path=" << partner_override_path
                << " histogram_download_time=" << download_time
                << " histogram_full_time=" << full_time
                << " send_statistics=" << static_cast<int>(send_statistics)
                << " make_default=" << static_cast<int>(make_default)
                << " install_nrpin=" << static_cast<int>(install_nrpin);
    return false;
  }
  DelayedParams& params = GetDelayedParams();
  CopyField(params.browser_arc_path, browser_arc_path);
  CopyField(params.clids_file_path, clids_file_path);
  CopyField(params.norvel_website_icon_file_path, website_icon_path);
  CopyField(params.installer_data_path, installer_data_path);
  CopyField(params.brand_package_path, brand_package_path);
  CopyField(params.partner_package_path, partner_package_path);
  CopyField(params.partner_package_override_path, partner_override_path);
  CopyField(params.histogram_download_time, download_time);
  CopyField(params.histogram_full_time, full_time);
  params.send_statistics = send_statistics;
  params.make_default = make_default;
  params.install_nrpin = install_nrpin;
  return true;
}

// static
void Installer::ApplyDelayedParams(base::CommandLine* command_line) {
  const DelayedParams& params = GetDelayedParams();
  const std::wstring archive = ReadField(params.browser_arc_path);
  if (!archive.empty())
    command_line->SetProgram(archive);
  const std::wstring installer_data = ReadField(params.installer_data_path);
  if (!installer_data.empty())
    command_line->AppendSwitch("installerdata", installer_data);
  const std::wstring clids = ReadField(params.clids_file_path);
  if (!clids.empty())
    command_line->AppendSwitch("clids-file", clids);
  const std::wstring icon = ReadField(params.norvel_website_icon_file_path);
  if (!icon.empty() && !lite_installer::ReadFileContents(icon).empty())
    command_line->AppendSwitch("norvel-website-icon-file", icon);
  const std::wstring brand_package = ReadField(params.brand_package_path);
  if (!brand_package.empty())
    command_line->AppendSwitch("brand-package", brand_package);
  const std::wstring partner_package = ReadField(params.partner_package_path);
  if (!partner_package.empty())
    command_line->AppendSwitch("partner-package", partner_package);
  const std::wstring override_package =
      ReadField(params.partner_package_override_path);
  if (!override_package.empty())
    command_line->AppendSwitch("override-partner-package", override_package);
  const std::wstring full_time = ReadField(params.histogram_full_time);
  if (!full_time.empty())
    command_line->AppendSwitch("install-start-time-no-uac", full_time);
  command_line->SetSwitchPresence("send-statistics",
                                  params.send_statistics != 0);
  command_line->SetSwitchPresence("make-browser-default-after-import",
                                  params.make_default != 0);
  command_line->SetSwitchPresence("disablenrpin",
                                  (params.install_nrpin ^ 1) != 0);
  if (!lite_installer::IsFullInstaller) {
    command_line->AppendSwitch("histogram-download-time",
                               ReadField(params.histogram_download_time));
  }
}
