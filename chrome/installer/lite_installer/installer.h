#ifndef CHROME_INSTALLER_LITE_INSTALLER_INSTALLER_H_
#define CHROME_INSTALLER_LITE_INSTALLER_INSTALLER_H_

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/command_line.h"
#include "base/exception_guard.h"
#include "base/scoped_handle.h"
#include "brand/test_id.h"
#include "chrome/installer/lite_installer/exit_codes.h"
#include "chrome/installer/lite_installer/installer_options.h"
#include "chrome/installer/lite_installer/setup_command_line.h"

class BrandPackageInfo;
class DistribInfoParams;

namespace installer {
class DownloadObserver;
class DownloadSink;
class InstallStatSender;
}  // namespace installer

namespace lite_installer {
class AsyncInstallTasks;
}  // namespace lite_installer

namespace install_util {
class NorvelTrustVerifier;
}  // namespace install_util

// How an installation failed, as the window reports it.
enum InstallErrorKind : int32_t {
  kInstallErrorNone = 0,
  kInstallErrorGeneric = 1,
  kInstallErrorDownload = 2,
  kInstallErrorCryptoPro = 3,
  kInstallErrorMachineTypeMismatch = 4,
  kInstallErrorSetupExit7 = 5,
  kInstallErrorSetupExit8 = 6,
  kInstallErrorElevatedAnotherInstance = 7,
};

// True for the delay-load failure of the CryptoPro provider's library
// (module not found, "cplib.dll", a function whose name holds "cryptopro").
bool IsCryptoProException(const base::ExceptionRecord& exception);

// The file that holds the setup archive when the distribution parameters ask
// for it to stay unwritable by others from its creation on.
class PermanentLockFile {
 public:
  explicit PermanentLockFile(std::wstring path);
  PermanentLockFile(const PermanentLockFile&) = delete;
  PermanentLockFile& operator=(const PermanentLockFile&) = delete;
  ~PermanentLockFile();

  bool is_valid() const { return file_.is_valid(); }
  HANDLE handle() const { return file_.get(); }
  const std::wstring& path() const { return path_; }
  // Reopens the file for reading and executing, first sharing reading and
  // writing, then reading only.
  bool Lock();

 private:
  std::wstring path_;
  base::ScopedFileHandle file_;
};

// Drives one installation: obtains the setup archive, waits for the user's
// release, verifies and runs setup (directly or through the elevated copy),
// and reports to its delegate. Runs on its own thread in a windowed run and
// on the caller's thread in a silent run.
class Installer {
 public:
  // Implemented by the installation window and by the elevated copy's
  // forwarding delegate. Called on the install thread.
  class Delegate {
   public:
    virtual ~Delegate() = default;
    virtual void OnDownloadProgress(float fraction) = 0;
    virtual void OnSlowDownload() = 0;
    // state: 0 before any estimate (seconds -1), 1 estimate, 2 finished.
    virtual void OnTimeRemaining(int32_t seconds, int32_t state) = 0;
    virtual void OnInstallFinished(bool finished) = 0;
    virtual void OnInstallError(InstallErrorKind kind) = 0;
    virtual uint32_t GetWindowHandle() = 0;
    virtual void SetProgress(int32_t percent) = 0;
    virtual void DisableCancel() = 0;
  };

  // The elevated copy's process and the two named events through which it
  // is told to run setup or to give up.
  class ElevatedProcessHolder {
   public:
    static constexpr char kGoEventName[] =
        "0c0f0f0d-6434-4cfd-a5e9-23e9ca4d94b6";
    static constexpr char kCancelEventName[] =
        "fef32d6d-67e9-4654-b314-6c72098ff5d1";

    ElevatedProcessHolder();
    ElevatedProcessHolder(const ElevatedProcessHolder&) = delete;
    ElevatedProcessHolder& operator=(const ElevatedProcessHolder&) = delete;

    // Takes ownership of `process`; the window is closed with the holder.
    virtual void SetProcess(HANDLE process, HWND owner_window);
    virtual ~ElevatedProcessHolder();
    // Signals the copy to run setup and waits for it or for `stop_event`.
    virtual bool RunModule(HANDLE stop_event);
    virtual void EnsureProcessFinished();

    // Fills the shared block for the elevated copy from what setup's line
    // is made of: the archive, the data files (packages only when
    // extracted), the times and the choices. False (and nothing written)
    // when a path is longer than 260 units or a number than 32.
    static bool WriteDelayedParams(
        const lite_installer::SetupCommandLineInputs& inputs);

    DWORD exit_code() const { return exit_code_; }
    bool terminated() const { return terminated_ != 0; }
    // For the elevated restart: the events it creates (owned from here on).
    void SetEvents(HANDLE go_event, HANDLE cancel_event);
    void set_wait_ms_for_testing(DWORD wait_ms) { wait_ms_ = wait_ms; }

   private:
    void Close();

    base::ScopedKernelHandle process_;
    HWND owner_window_ = nullptr;
    base::ScopedKernelHandle go_event_;
    base::ScopedKernelHandle cancel_event_;
    uint8_t run_requested_ = 0;
    uint8_t terminated_ = 0;
    DWORD exit_code_ = static_cast<DWORD>(-1);
    DWORD wait_ms_ = 30000;
  };

  Installer(Delegate* delegate,
            BrandPackageInfo* brand,
            DistribInfoParams* distrib_params,
            bool with_async_tasks);
  Installer(const Installer&) = delete;
  Installer& operator=(const Installer&) = delete;

  virtual ~Installer();

  // Running setup (installer_setup.cc).
  virtual bool RunModuleInElevatedProcess();
  virtual bool RunModule(const std::wstring& path,
                         const base::CommandLine& command_line);
  virtual void InitializeStatParams();
  // The installation-finished report's transport (installer_report.cc):
  // `url` into `sink` (reset first), stopped by stop_event_.
  virtual bool Download(const std::wstring& url,
                        installer::DownloadSink* sink,
                        std::string* error,
                        std::wstring* final_url);
  // Data files (installer_data.cc): the program's own "BIN" resource into
  // `path`. True when the resource exists, is not empty and was written
  // whole; a file that cannot be written whole is removed.
  virtual bool ExtractResourceById(int id, const std::wstring& path);
  virtual bool ExtractResourceByName(const wchar_t* name,
                                     const std::wstring& path);
  // Module acquisition (installer_module.cc).
  virtual bool GetModuleCreationTime(const std::wstring& path, uint64_t* time);
  virtual int DownloadModule(HANDLE file,
                             const base::CommandLine& command_line);
  virtual bool DownloadUrl(const std::wstring& url,
                           installer::DownloadSink* sink,
                           std::string* error,
                           std::wstring* final_url,
                           uint32_t* total_size,
                           installer::DownloadObserver* observer,
                           base::ExceptionRecord* exception);
  virtual DWORD GetRetryDelayMs();
  virtual bool ExtractBrowserSetupResource(HANDLE file);
  virtual std::wstring GetModulePath();
  virtual int GetModule(const std::wstring& path,
                        std::unique_ptr<PermanentLockFile>* lock_file);
  // Verification (installer_setup.cc).
  virtual bool VerifyDownloadedModule(const std::wstring& path);
  virtual bool VerifyModuleWithTrustJson(const std::wstring& path,
                                         const std::string& trust_json,
                                         bool prevent_network_use);
  virtual bool VerifyModuleOnce(const std::wstring& path,
                                install_util::NorvelTrustVerifier* verifier,
                                bool prevent_network_use);
  virtual bool IsX64System();

  // The elevated restart (elevated_restart.cc), asked by the window on its
  // thread. Whether this run should go through an elevated copy (logs why
  // not), and starting that copy through the elevation prompt: true when
  // it runs, and setup then runs there. A declined prompt sends
  // "uac_declined" and, for a refusal, has setup told so.
  bool NeedStartThisProcessAsAdmin() const;
  bool RestartAsAdmin();
  // The archive path of the line prepared for the elevated copy, which
  // replaces it with the real one.
  static constexpr wchar_t kPreparedArchivePath[] = L"fake_browser_arc";

  // Owner's operations.
  void StartInstallAsync();
  void StartInstallAfterDownload();
  void InstallSync();
  // Stops the install thread and waits up to 60 s; false on time-out.
  bool WaitForInstallAsync();
  void SetOkButtonPressedTime();
  // Ignored on Windows 8 and 8.1.
  void SetMakeBrowserDefault(bool make_default);
  void set_send_statistics(uint8_t value) { send_statistics_ = value; }
  void set_install_nrpin(uint8_t value) { install_nrpin_ = value; }
  void SetBrowserPresent(const std::string& install_type);
  void set_uac_declined(bool declined) { uac_declined_ = declined; }
  void SetElevatedProcessHolder(std::unique_ptr<ElevatedProcessHolder> holder);
  ElevatedProcessHolder* elevated_process_holder() const {
    return elevated_process_holder_.get();
  }
  bool uac_declined() const { return uac_declined_; }
  void IncrementCancelCount() { cancel_count_.fetch_add(1); }
  int32_t cancel_count() const { return cancel_count_.load(); }

  // Statistics of the user's actions in the window (installer_stat_events.cc).
  // The install button with the states of the default-browser and the
  // statistics checkboxes.
  void SendInstallButtonClickedEvent(bool default_checked, bool sendstat_checked);
  // Window actions, sent as reinstall-dialog requests.
  void SendClickedButtonEvent(const std::wstring& text);
  void SendClickedLinkEvent(const std::wstring& text);
  void SendChosenCheckboxEvent(const std::wstring& text);

  int32_t exit_code() const { return exit_code_; }
  HANDLE stop_event() const { return stop_event_.get(); }
  const std::wstring& module_path() const { return module_path_; }
  const TestIds& test_ids() const { return test_ids_; }
  // The statistics parameters and sender of this installation.
  installer::InstallStatSender* stat_reporter() const {
    return stat_reporter_.get();
  }
  uint8_t make_default() const { return make_default_; }
  uint8_t send_statistics() const { return send_statistics_; }
  uint8_t install_nrpin() const { return install_nrpin_; }
  // The prefetch tasks, when the installer was created with them.
  const lite_installer::AsyncInstallTasks* async_tasks() const {
    return async_tasks_.get();
  }

  // What setup's command line for `archive_path` is made of, and the line.
  lite_installer::SetupCommandLineInputs GetSetupInputs(
      const std::wstring& archive_path,
      bool include_data_files) const;
  base::CommandLine BuildSetupCommandLine(const std::wstring& archive_path,
                                          bool include_data_files) const;
  // Run by the elevated copy: what the interactive installer left in the
  // shared block (an icon only when its file can be read and is not empty),
  // and setup's line completed with it.
  static lite_installer::SetupCommandLineInputs ReadDelayedParams();
  static void ApplyDelayedParams(base::CommandLine* command_line);

  // Runs setup and waits; `exit_code` (may be null) receives its exit code.
  bool RunModuleAndWait(const wchar_t* application_name,
                        const std::wstring& command_line,
                        int32_t* exit_code);

  void set_thread_wait_ms_for_testing(DWORD wait_ms) {
    thread_wait_ms_ = wait_ms;
  }
  void set_message_window_poll_ms_for_testing(DWORD poll_ms) {
    message_window_poll_ms_ = poll_ms;
  }
  void set_data_files_wait_ms_for_testing(DWORD wait_ms) {
    data_files_wait_ms_ = wait_ms;
  }

 protected:
  // Starts the install thread running Install(); null (with the system
  // error set) when the thread cannot be started.
  virtual HANDLE BeginInstallThread();
  // The installation's body, on the install thread or the caller's.
  void Install();
  // 0 on success, else an InstallErrorKind (1, 2, 3 or 7).
  int InstallBrowser();
  // Steps of InstallBrowser.
  bool IsPermanentLockRequested() const;
  bool LockArchive(PermanentLockFile* lock_file,
                   bool permanent_lock,
                   base::ScopedFileHandle* lock);
  // The error kind of a setup run that failed.
  int SetupFailureKind();
  int DownloadOrExtractModule(const std::wstring& path,
                              bool* downloaded,
                              std::unique_ptr<PermanentLockFile>* lock_file);
  struct DownloadUrlEntry {
    std::string url;
    int attempts;
  };
  std::vector<DownloadUrlEntry> GetDownloadUrls(int architecture);
  std::vector<DownloadUrlEntry> GetDownloadUrlsFromBrandConfig(
      int architecture);
  bool IsVersionedSetupUrlAllowed(const std::string& url);
  bool WillLaunchBrowser() const;
  // The data-file paths are filled by the install thread while the window
  // thread may build the elevated copy's line from them (the A/B-test
  // configuration reaches the copy only through that line). The window
  // thread waits, bounded, until the install thread has filled them;
  // GetSetupInputs reads them only once they are settled.
  void WaitForDataFiles();
  bool DataFilesSettled() const;

  // Statistics of the installation (installer_stat_events.cc).
  void SendInstallerStartedEvent();
  void SendDownloadStartedEvent();
  // After each attempt of `url` (1-based `attempt_number`) that did not end
  // in an exception; `final_url` is the downloader's redirect target, and
  // `architecture` 1 the 64-bit build. Nothing once a cancel was confirmed.
  void SendDownloadAttemptEvent(bool ok,
                                const std::wstring& url,
                                int attempt_number,
                                uint32_t downloaded_size,
                                uint32_t total_size,
                                const std::string& error,
                                const std::wstring& final_url,
                                int architecture);
  void SendDownloadErrorEvent(int attempt_number,
                              const std::string& error,
                              const std::wstring& escaped_url,
                              const std::wstring& redirect_host);
  void SendDownloadFinishedEvent();
  void SendSetupArcLockErrorEvent();
  void SendVerificationErrorEvent();
  void SendSetupLaunchedEvent();
  void SendSetupExitedEvent(bool ok);
  void SendDialogEvent(const char* key, const std::wstring& text);
  // Fills every data-file path no switch gave with a file written into
  // `dir` (which ends with a backslash) from the resources.
  void ExtractInstallerDataIfAbsent(const std::wstring& dir);
  // The last step of every installation: the report request.
  void ReportInstallationFinished(bool success);
  std::string GetInstallationReportUrl(bool success) const;

  Delegate* delegate() const { return delegate_; }
  BrandPackageInfo* brand() const { return brand_; }
  DistribInfoParams* distrib_params() const { return distrib_params_; }
  HANDLE install_after_download_event() const {
    return install_after_download_event_.get();
  }

 private:
  static unsigned __stdcall InstallThreadProc(void* param);

  // The process's options; the installer borrows them.
  const lite_installer::InstallerOptions* options_;
  // First, so that it is destroyed last: its worker may still be writing
  // while the rest of the installation ends.
  std::unique_ptr<lite_installer::AsyncInstallTasks> async_tasks_;
  std::unique_ptr<installer::InstallStatSender> stat_reporter_;
  Delegate* delegate_;
  BrandPackageInfo* brand_;
  DistribInfoParams* distrib_params_;
  uint8_t make_default_ = 0;
  uint8_t send_statistics_ = 0;
  uint8_t install_nrpin_ = 1;
  std::wstring temp_dir_;
  std::wstring installer_data_path_;
  std::wstring clids_file_path_;
  std::wstring website_icon_path_;
  std::wstring abt_config_path_;
  std::string run_guid_;
  int32_t exit_code_ = lite_installer::kInstallerExitDefault;
  base::ScopedKernelHandle install_thread_;
  base::ScopedKernelHandle stop_event_;
  base::ScopedKernelHandle install_after_download_event_;
  // Set by Install() once the data-file paths are final.
  base::ScopedKernelHandle data_files_ready_event_;
  std::atomic<int32_t> cancel_count_{0};
  int64_t total_time_ = 0;
  int64_t download_time_ = 0;
  int64_t setup_time_ = 0;
  int64_t ok_button_pressed_time_ = 0;
  int64_t install_start_time_ = 0;
  bool launch_browser_ = true;
  std::unique_ptr<ElevatedProcessHolder> elevated_process_holder_;
  bool uac_declined_ = false;
  std::wstring module_path_;
  std::wstring override_partner_package_;
  TestIds test_ids_;
  std::string browser_present_;
  DWORD thread_wait_ms_ = 60000;
  DWORD message_window_poll_ms_ = 20000;
  DWORD data_files_wait_ms_ = 30000;
};

// Creates the installer of a run. In-process tests of the start-up sequence
// replace the factory so that their runs need no network.
using InstallerFactory =
    std::unique_ptr<Installer> (*)(Installer::Delegate* delegate,
                                   BrandPackageInfo* brand,
                                   DistribInfoParams* distrib_params,
                                   bool with_async_tasks);
std::unique_ptr<Installer> CreateInstaller(Installer::Delegate* delegate,
                                           BrandPackageInfo* brand,
                                           DistribInfoParams* distrib_params,
                                           bool with_async_tasks);
// Null restores the product's factory.
void SetInstallerFactoryForTesting(InstallerFactory factory);

#endif  // CHROME_INSTALLER_LITE_INSTALLER_INSTALLER_H_
