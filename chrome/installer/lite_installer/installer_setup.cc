// Running setup: the wait for the user's release, the archive lock,
// verification, and setup run directly or through the elevated copy.

#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "base/file_util.h"
#include "base/strings.h"
#include "brand/brand_package_info.h"
#include "brand/distrib_info_params.h"
#include "chrome/installer/lite_installer/delayed_params.h"
#include "chrome/installer/lite_installer/installer.h"
#include "chrome/installer/lite_installer/lite_installer_helpers.h"
#include "chrome/installer/lite_installer/monotonic_time.h"
#include "chrome/installer/lite_installer/setup_exit_code.h"
#include "chrome/installer/norvel/util/trust/norvel_trust_verifier.h"
#include "deployment_config.h"
#include "chrome/installer/norvel/util/statistics/install_stat_sender.h"
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

  const bool permanent_lock = IsPermanentLockRequested();

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
  if (!LockArchive(lock_file.get(), permanent_lock, &lock)) {
    // Logged first: sending the event may change the last error.
    PLOG(ERROR) << "Cannot lock file: " << module_path_;
    if (permanent_lock)
      SendSetupArcLockErrorEvent();
    return kInstallErrorGeneric;
  }

  if (!VerifyDownloadedModule(module_path_)) {
    PLOG(ERROR) << "Module verification failed: " << module_path_;
    exit_code_ = lite_installer::kInstallerExitModuleNotVerified;
    SendVerificationErrorEvent();
    return kInstallErrorGeneric;
  }
  LOG(INFO) << "Verification succeeded: " << module_path_;
  const int64_t setup_start = lite_installer::MonotonicNowUs();
  // The elevated copy reads the parameters back when it starts.
  stat_reporter_->SaveForHandOver();
  SendSetupLaunchedEvent();

  bool ok;
  if (elevated_process_holder_) {
    lite_installer::SetupCommandLineInputs inputs =
        GetSetupInputs(module_path_, true);
    inputs.download_time =
        base::NumberToWide(lite_installer::WholeSeconds(download_time_));
    if (!ElevatedProcessHolder::WriteDelayedParams(inputs)) {
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
  SendSetupExitedEvent(ok);

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
  return SetupFailureKind();
}

bool Installer::IsPermanentLockRequested() const {
  std::string value;
  return distrib_params_ &&
         distrib_params_->Get("setup_arc_permanent_lock", &value) &&
         !value.empty();
}

bool Installer::LockArchive(PermanentLockFile* lock_file,
                            bool permanent_lock,
                            base::ScopedFileHandle* lock) {
  // Held from the archive's creation on, or taken now: either way nobody
  // writes, renames or deletes the archive between verification and setup.
  if (permanent_lock)
    return lock_file && lock_file->is_valid() && lock_file->Lock();
  lock->reset(::CreateFileW(
      module_path_.c_str(), GENERIC_READ | GENERIC_EXECUTE, FILE_SHARE_READ,
      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return lock->is_valid();
}

int Installer::SetupFailureKind() {
  if (!elevated_process_holder_)
    return kInstallErrorGeneric;
  // The elevated copy says what went wrong through the shared block, or
  // by exiting as a second instance.
  int result = GetDelayedParams().error_kind;
  if (result == 0) {
    result = elevated_process_holder_->exit_code() ==
                     lite_installer::kExitAnotherInstanceRunning
                 ? kInstallErrorElevatedAnotherInstance
                 : kInstallErrorGeneric;
  }
  elevated_process_holder_.reset();
  return result;
}

bool Installer::VerifyDownloadedModule(const std::wstring& path) {
  // The trusted list travels inside the archive, signed with a pinned key.
  return VerifyModuleWithTrustJson(
      path, install_util::NorvelTrustVerifier::GetTrustJsonFromModule(path),
      deployment::IsFullInstaller);
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
  return RunModuleAndWait(nullptr, line.GetCommandLineString(), &exit_code_);
}

bool Installer::RunModuleAndWait(const wchar_t* application_name,
                                 const std::wstring& command_line,
                                 int32_t* exit_code) {
  LOG(INFO) << "Run: " << command_line;
  if (exit_code)
    *exit_code = lite_installer::kInstallerExitDefault;
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
  DWORD code = lite_installer::kInstallerExitDefault;
  const bool got_code = ::GetExitCodeProcess(process.get(), &code) != FALSE;
  if (!got_code) {
    PLOG(ERROR) << "Get setup process exit code failed.";
    code = lite_installer::kInstallerExitDefault;
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
  process_.reset(process);
  owner_window_ = owner_window;
}

void Installer::ElevatedProcessHolder::SetEvents(HANDLE go_event,
                                                 HANDLE cancel_event) {
  go_event_.reset(go_event);
  cancel_event_.reset(cancel_event);
}

Installer::ElevatedProcessHolder::~ElevatedProcessHolder() {
  if (process_.is_valid()) {
    // A copy that was never told to run is told to give up.
    if (!run_requested_ && cancel_event_.is_valid())
      ::SetEvent(cancel_event_.get());
    EnsureProcessFinished();
  } else {
    Close();
  }
}

bool Installer::ElevatedProcessHolder::RunModule(HANDLE stop_event) {
  run_requested_ = 1;
  ::SetEvent(go_event_.get());
  HANDLE handles[] = {stop_event, process_.get()};
  switch (::WaitForMultipleObjects(2, handles, FALSE, INFINITE)) {
    case WAIT_OBJECT_0 + 1:
      if (!::GetExitCodeProcess(process_.get(), &exit_code_))
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
  if (process_.is_valid() &&
      ::WaitForSingleObject(process_.get(), wait_ms_) == WAIT_TIMEOUT) {
    terminated_ = 1;
    PLOG(ERROR) << "The elevated installer hangs and must be forcibly "
                   "terminated.";
    ::TerminateProcess(process_.get(), 0);
  }
  Close();
}

void Installer::ElevatedProcessHolder::Close() {
  process_.reset();
  go_event_.reset();
  cancel_event_.reset();
  if (owner_window_) {
    // Only the thread that created a window may destroy it, and the holder
    // usually goes on the install thread: that one asks the window's own
    // thread to close it (a closed static window destroys itself).
    const bool own_thread =
        ::GetWindowThreadProcessId(owner_window_, nullptr) ==
        ::GetCurrentThreadId();
    const bool closed =
        own_thread ? ::DestroyWindow(owner_window_) != FALSE
                   : ::PostMessageW(owner_window_, WM_CLOSE, 0, 0) != FALSE;
    if (!closed) {
      PLOG(ERROR) << "Cannot close the elevation prompt's owner window "
                  << reinterpret_cast<uintptr_t>(owner_window_);
    }
    owner_window_ = nullptr;
  }
}

// static
bool Installer::ElevatedProcessHolder::WriteDelayedParams(
    const lite_installer::SetupCommandLineInputs& in) {
  const std::wstring& brand_package =
      in.brand_package_extracted ? in.brand_package_path : std::wstring();
  const std::wstring& partner_package =
      in.partner_package_extracted ? in.partner_package_path : std::wstring();
  const std::wstring download_time = in.download_time.value_or(L"");
  const std::wstring full_time = base::NumberToWide(in.install_start_time);
  constexpr size_t kMaxPath = lite_installer::kDelayedPathUnits - 1;
  constexpr size_t kMaxNumber = lite_installer::kDelayedNumberUnits - 1;
  bool fits =
      download_time.size() <= kMaxNumber && full_time.size() <= kMaxNumber;
  for (const std::wstring* path :
       {&in.archive_path, &in.clids_file_path, &in.website_icon_path,
        &in.installer_data_path, &brand_package, &partner_package,
        &in.override_partner_package_path}) {
    fits = fits && path->size() <= kMaxPath;
  }
  if (!fits) {
    PLOG(ERROR) << "Too large string length,"
                << " browser_arc_path=" << in.archive_path
                << " clids_file_path=" << in.clids_file_path
                << " norvel_website_icon_file_path=" << in.website_icon_path
                << " installer_data_path=" << in.installer_data_path
                << " brand_package_path=" << brand_package
                << " partner_package_path=" << partner_package
                << " partner_package_override_path="
                << in.override_partner_package_path
                << " histogram_download_time=" << download_time
                << " histogram_full_time=" << full_time
                << " send_statistics=" << static_cast<int>(in.send_statistics)
                << " make_default=" << static_cast<int>(in.make_default)
                << " install_nrpin=" << static_cast<int>(in.install_nrpin);
    return false;
  }
  DelayedParams& params = GetDelayedParams();
  CopyField(params.browser_arc_path, in.archive_path);
  CopyField(params.clids_file_path, in.clids_file_path);
  CopyField(params.norvel_website_icon_file_path, in.website_icon_path);
  CopyField(params.installer_data_path, in.installer_data_path);
  CopyField(params.brand_package_path, brand_package);
  CopyField(params.partner_package_path, partner_package);
  CopyField(params.partner_package_override_path,
            in.override_partner_package_path);
  CopyField(params.histogram_download_time, download_time);
  CopyField(params.histogram_full_time, full_time);
  params.send_statistics = in.send_statistics;
  params.make_default = in.make_default;
  params.install_nrpin = in.install_nrpin;
  return true;
}

// static
lite_installer::SetupCommandLineInputs Installer::ReadDelayedParams() {
  const DelayedParams& params = GetDelayedParams();
  lite_installer::SetupCommandLineInputs in;
  in.include_data_files = true;
  in.archive_path = ReadField(params.browser_arc_path);
  in.installer_data_path = ReadField(params.installer_data_path);
  in.clids_file_path = ReadField(params.clids_file_path);
  in.website_icon_path = ReadField(params.norvel_website_icon_file_path);
  // Setup gets the icon when it can read a non-empty file; its size says so
  // without reading it.
  if (!in.website_icon_path.empty() &&
      base::GetReadableFileSize(in.website_icon_path).value_or(0) == 0) {
    in.website_icon_path.clear();
  }
  in.brand_package_path = ReadField(params.brand_package_path);
  in.brand_package_extracted = !in.brand_package_path.empty();
  in.partner_package_path = ReadField(params.partner_package_path);
  in.partner_package_extracted = !in.partner_package_path.empty();
  in.override_partner_package_path =
      ReadField(params.partner_package_override_path);
  in.install_start_time =
      std::wcstoll(ReadField(params.histogram_full_time).c_str(), nullptr, 10);
  in.send_statistics = params.send_statistics;
  in.make_default = params.make_default;
  in.install_nrpin = params.install_nrpin;
  if (!deployment::IsFullInstaller)
    in.download_time = ReadField(params.histogram_download_time);
  return in;
}

// static
void Installer::ApplyDelayedParams(base::CommandLine* command_line) {
  *command_line = lite_installer::BuildSetupCommandLine(
      ReadDelayedParams(), *command_line,
      lite_installer::SetupLineWriter::kElevatedCopy);
}
