// Process entry: the start-up sequence of the installer. Every path returns
// exactly one exit code (see exit_codes.h).

#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "base/strings.h"
#include "base/windows_version.h"
#include "brand/brand_package_info.h"
#include "brand/distrib_info_params.h"
#include "chrome/installer/lite_installer/elevated_restart.h"
#include "chrome/installer/lite_installer/exit_codes.h"
#include "chrome/installer/lite_installer/installer.h"
#include "chrome/installer/lite_installer/installer_options.h"
#include "chrome/installer/lite_installer/lite_installer_helpers.h"
#include "chrome/installer/lite_installer/lite_main_window.h"
#include "chrome/installer/lite_installer/notice_dialogs.h"
#include "chrome/installer/lite_installer/secure_environment.h"
#include "chrome/installer/lite_installer/service_origins.h"
#include "chrome/installer/lite_installer/shared_data.h"
#include "chrome/installer/lite_installer/single_instance.h"
#include "chrome/installer/lite_installer/startup.h"
#if defined(LITE_TEST_TRIGGERS)
#include "chrome/installer/lite_installer/test_triggers.h"
#endif
#include "chrome/installer/norvel/util/application_association_registration_internal.h"
#include "chrome/installer/norvel/util/disk_space.h"
#include "crash/scoped_crash_reporter.h"
#include "logging/file_logger.h"

using lite_installer::SecureEnvironmentResult;

namespace {

// Acts on the DLL search-path verdict. Returns the exit code when the
// process must end.
std::optional<int> ActOnSecureEnvironment(SecureEnvironmentResult result,
                                          int filled_exit_code) {
  switch (result) {
    case SecureEnvironmentResult::kInsecure:
      LOG(INFO) << "Exiting, because of insecure environment.";
      return filled_exit_code;
    case SecureEnvironmentResult::kCantFindSecure:
      LOG(INFO) << "Can't find secure environment.";
      return std::nullopt;
    case SecureEnvironmentResult::kSecure:
      LOG(INFO) << "Runned in secure environment.";
      return std::nullopt;
    case SecureEnvironmentResult::kDllFilesFound:
      LOG(INFO) << "Exiting, DLL files found in working directory";
      return lite_installer::kExitDllFilesFound;
    case SecureEnvironmentResult::kDelegatedToCopy:
      return filled_exit_code;
  }
  return std::nullopt;
}

// The brand and distribution configuration of this run: the parameters
// first (they may choose the language), then the brand packages.
struct Configuration {
  std::unique_ptr<DistribInfoParams> distrib_info;
  std::unique_ptr<BrandPackageInfo> brand;
};

Configuration LoadConfiguration(const lite_installer::InstallerOptions& options,
                                const std::wstring& temp_dir) {
  Configuration config;
  config.distrib_info = std::make_unique<DistribInfoParams>();
  config.distrib_info->set_given_text(options.distr_info_params);
  config.distrib_info->Load();
  config.brand = std::make_unique<BrandPackageInfo>(temp_dir);
  config.brand->GetInfo(options.brand_name);
  std::string language;
  if (config.distrib_info->Get("lang", &language))
    config.brand->language_ = language;
  config.brand->FillDefaults();
  return config;
}

void AnnotateCrashReports(crashpad::ScopedCrashReporter* crash_reporter,
                          const Configuration& config) {
  for (const auto& [key, value] : config.distrib_info->params())
    crash_reporter->SetAnnotation(key, value);
  crash_reporter->SetAnnotation("brand_id", config.brand->brand_id_);
  crash_reporter->SetAnnotation("brand_name", config.brand->brand_name_);
  crash_reporter->SetAnnotation("default_language", config.brand->language_);
}

// The crash reporter of this run, armed before the log exists.
std::unique_ptr<crashpad::ScopedCrashReporter> ArmCrashReporter() {
  auto crash_reporter = std::make_unique<crashpad::ScopedCrashReporter>(
      lite_installer::kServiceOrigins.crash);
  crash_reporter->SetAnnotation("ptype", "installer");
  return crash_reporter;
}

void InstallFileLogger() {
  broupdater::SetFileLogger(std::make_unique<broupdater::FileLogger>(
      broupdater::GetLogFilePath(), broupdater::kLogFileMaxSize));
}

// The answer to "check-the-interface", as the exit code.
int CheckAssociationInterface() {
  return installer::win10_default_browser::CheckInternalInterface()
             ? lite_installer::kExitAssociationInterfaceUsable
             : lite_installer::kExitAssociationInterfaceNotUsable;
}

// Tells an interactive user why this processor is refused.
int RefuseProcessor(const lite_installer::InstallerOptions& options,
                    const Configuration& config,
                    int cpu_reason_id) {
  if (!options.silent) {
    lite_installer::ShowProcessorUnsupported(static_cast<LANGID>(config.brand->language_id_),
                                             cpu_reason_id);
  }
  return lite_installer::kExitCpuNotSupported;
}

// The whole installation on this thread, with the choices of the command
// line (the brand decides statistics when the command line does not).
int RunSilentInstallation(const lite_installer::InstallerOptions& options,
                          const Configuration& config) {
  std::unique_ptr<Installer> installer =
      CreateInstaller(nullptr, config.brand.get(), config.distrib_info.get(),
                      /*with_async_tasks=*/true);
  installer->SetMakeBrowserDefault(options.make_browser_default_after_import);
  installer->set_send_statistics(options.send_statistics ||
                                 config.brand->send_statistics());
  installer->set_install_nrpin(options.disable_nrpin ? 0 : 1);
  installer->InstallSync();
  return installer->exit_code();
}

// The installation window, or the notice that the disk is too full for it.
// A window ended by the installation gives the installer's exit code; one
// the user closed gives "cancelled".
int RunInteractiveInstallation(bool enough_disk_space, const Configuration& config) {
  if (!enough_disk_space) {
    lite_installer::ShowNotEnoughDiskSpace(static_cast<LANGID>(config.brand->language_id_));
    return lite_installer::kExitNotEnoughDiskSpace;
  }
  lite_installer::LiteMainWindow window(config.brand.get(), config.distrib_info.get(),
                                        /*interactive=*/true);
  if (window.Run() == 1 && window.installer())
    return window.installer()->exit_code();
  return lite_installer::kExitUserCancelled;
}

}  // namespace

// The start-up sequence. Its log lines are written here, under this
// function's name; the steps it calls only act and answer.
extern "C" int WINAPI wWinMain(HINSTANCE, HINSTANCE, wchar_t*, int) {
  using namespace lite_installer;

#if defined(LITE_TEST_TRIGGERS)
  ArmTestTriggers();
  FireTestTriggers(TriggerPoint::kStart);
#endif
  int secure_exit_code = 0;
  const SecureEnvironmentResult secure_result =
      EnsureSecureEnvironment(&secure_exit_code);
  const std::unique_ptr<crashpad::ScopedCrashReporter> crash_reporter =
      ArmCrashReporter();
  InstallFileLogger();
  LOG(INFO) << "-------------------------------------- Start install.";

  const InstallerOptions& options = InstallerOptions::ForCurrentProcess();
  // The one side request answered before the environment verdict counts.
  if (options.check_the_interface) {
    const int code = CheckAssociationInterface();
    LOG(INFO) << "Handled non install cmd line option by win10 default "
                 "browser helper, ret code: "
              << code;
    return code;
  }
  if (std::optional<int> code =
          ActOnSecureEnvironment(secure_result, secure_exit_code)) {
    return *code;
  }
  // The elevated copy of an interactive installer takes no mutex and shows
  // no window.
  if (options.run_as_admin)
    return ExecuteAsAdmin();

  ScopedUiLibraries ui_libraries;
#if defined(LITE_TEST_TRIGGERS)
  FireTestTriggers(TriggerPoint::kAfterUiLibraries);
#endif
  LOG(INFO) << (deployment::IsFullInstaller ? "Full installer mode."
                                            : "Lite installer mode.");
  SingleInstanceMutex single_instance;
  if (!single_instance.TryAcquire()) {
    LOG(INFO) << "Another installer instance is already running.";
    const DWORD master_pid = master_installer_pid;
    LOG(INFO) << "Master installer process id: " << master_pid;
    BringProcessWindowToTop(master_pid);
    return kExitAnotherInstanceRunning;
  }
  master_installer_pid = ::GetCurrentProcessId();
  LOG(INFO) << "Installer process id: " << master_installer_pid;

  const std::wstring temp_dir = GetTemporaryDirectory();
  LOG(INFO) << "Temporary path is: " << temp_dir;
  const Configuration config = LoadConfiguration(options, temp_dir);
  const int windows_version = base::GetWindowsVersionClass();
  AnnotateCrashReports(crash_reporter.get(), config);
  if (g_after_crash_annotations_for_testing)
    g_after_crash_annotations_for_testing();
  if (deployment::IsFullInstaller && windows_version < base::kWin7)
    return kExitWindowsTooOld;

  int cpu_reason_id = 0;
  if (!IsCpuSupported(&cpu_reason_id)) {
    PLOG(ERROR) << "CPU is not supported";
    return RefuseProcessor(options, config, cpu_reason_id);
  }
  const bool enough_disk_space =
      installer::HasEnoughDiskSpace(options.system_level, kRequiredDiskSpace);

  int exit_code;
  if (options.silent) {
    // The free-space answer is not consulted in a silent run.
    LOG(INFO) << "Installing in silent mode.";
    exit_code = RunSilentInstallation(options, config);
  } else {
    exit_code = RunInteractiveInstallation(enough_disk_space, config);
    if (exit_code == kExitUserCancelled)
      LOG(INFO) << "User cancelled installation.";
  }
  LOG(INFO) << "Installer exit with code: " << exit_code;
  return exit_code;
}
