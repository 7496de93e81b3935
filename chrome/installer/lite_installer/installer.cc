// The installation's life: construction, the install thread, the steps
// around running setup, and destruction.

#include "chrome/installer/lite_installer/installer.h"

#include <process.h>

#include "base/strings.h"
#include "base/windows_version.h"
#include "brand/brand_package_info.h"
#include "brand/distrib_info_params.h"
#include "chrome/installer/lite_installer/async_install_tasks.h"
#include "chrome/installer/lite_installer/delayed_params.h"
#include "chrome/installer/lite_installer/lite_installer_helpers.h"
#include "chrome/installer/lite_installer/monotonic_time.h"
#include "chrome/installer/lite_installer/service_origins.h"
#include "chrome/installer/norvel/util/network/async_http_request_sender.h"
#include "chrome/installer/norvel/util/registry.h"
#include "chrome/installer/norvel/util/statistics/install_stat_sender.h"
#include "deployment_config.h"
#include "logging/file_logger.h"
#include "logging/user_id.h"

namespace {

// The browser started by setup creates this message-only window.
constexpr wchar_t kBrowserMessageWindowClass[] = L"NorvelBrowser_MessageWindow";

// Where each data file for setup is remembered between runs.
constexpr wchar_t kInstallerDataValue[] = L"InstallerData";
constexpr wchar_t kClidsValue[] = L"ClidsFile";
constexpr wchar_t kWebsiteIconValue[] = L"NorvelWebsiteIconFile";
constexpr wchar_t kAbtConfigValue[] = L"AbtConfigResourceFile";

// The path given on the command line; the full flavour falls back to the
// one remembered in the registry.
std::wstring DataFilePath(const std::wstring& given,
                          const wchar_t* registry_name) {
  std::wstring path = given;
  if (path.empty() && deployment::IsFullInstaller)
    path = installer::ReadFilePathFromRegistry(registry_name);
  return path;
}

}  // namespace

namespace {
InstallerFactory g_installer_factory = nullptr;
}  // namespace

std::unique_ptr<Installer> CreateInstaller(Installer::Delegate* delegate,
                                           BrandPackageInfo* brand,
                                           DistribInfoParams* distrib_params,
                                           bool with_async_tasks) {
  if (g_installer_factory)
    return g_installer_factory(delegate, brand, distrib_params,
                               with_async_tasks);
  return std::make_unique<Installer>(delegate, brand, distrib_params,
                                     with_async_tasks);
}

void SetInstallerFactoryForTesting(InstallerFactory factory) {
  g_installer_factory = factory;
}

Installer::Installer(Delegate* delegate,
                     BrandPackageInfo* brand,
                     DistribInfoParams* distrib_params,
                     bool with_async_tasks)
    : options_(&lite_installer::InstallerOptions::ForCurrentProcess()),
      // An elevated copy inherits its parent's parameters.
      stat_reporter_(std::make_unique<installer::InstallStatSender>(
          /*target=*/0,
          deployment::IsFullInstaller ? installer::InstallStatSender::kTypeFull
                                      : installer::InstallStatSender::kTypeLite,
          installer::ReadProductValue(
              installer::InstallStatSender::kHandOverValue),
          std::map<std::string, std::wstring>(),
          installer::InstallStatSender::kStatKindExtended,
          lite_installer::kServiceOrigins.statistics,
          std::make_unique<install_util::AsyncHttpRequestSender>())),
      delegate_(delegate),
      brand_(brand),
      distrib_params_(distrib_params),
      data_files_ready_event_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
  if (brand_)
    temp_dir_ = brand_->temp_dir_;
  installer_data_path_ =
      DataFilePath(options_->installer_data, kInstallerDataValue);
  clids_file_path_ = DataFilePath(options_->clids_file, kClidsValue);
  website_icon_path_ =
      DataFilePath(options_->website_icon_file, kWebsiteIconValue);
  abt_config_path_ =
      DataFilePath(options_->abt_config_resource_file, kAbtConfigValue);
  InitializeStatParams();
  // They start their downloads at once, while the archive downloads. The
  // elevated copy has neither brand nor parameters, and no tasks.
  if (with_async_tasks && brand_ && distrib_params_) {
    async_tasks_ = std::make_unique<lite_installer::AsyncInstallTasks>(
        *brand_, *distrib_params_);
  }
}

Installer::~Installer() {
  if (install_thread_.is_valid()) {
    ::SetEvent(stop_event_.get());
    if (::WaitForSingleObject(install_thread_.get(), thread_wait_ms_) ==
        WAIT_TIMEOUT) {
      PLOG(ERROR)
          << "Failed to wait for install async exit. Terminate install_thread_";
      ::TerminateThread(install_thread_.get(), 0);
    }
  }
}

void Installer::InitializeStatParams() {
  test_ids_ =
      lite_installer::CombineBrandAndDistribTestIds(brand_, distrib_params_);
  stat_reporter_->SetTestIds(JoinTestIds(test_ids_, "%3B"));
  stat_reporter_->SetBrandId(brand_ ? brand_->brand_id_ : "unknown");
  stat_reporter_->SetPartnerId(brand_ ? brand_->partner_id_ : "unknown");
  if (distrib_params_) {
    std::string value;
    if (distrib_params_->Get("banerid", &value))
      stat_reporter_->SetBannerId(value);
    if (distrib_params_->Get("distr_norveluid", &value))
      stat_reporter_->SetDistrNorvelUid(value);
    if (distrib_params_->Get("norveluid", &value))
      stat_reporter_->SetNorvelUid(value);
  }
  stop_event_.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  install_after_download_event_.reset(
      ::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  broupdater::GetUserId();
}

void Installer::StartInstallAsync() {
  ::ResetEvent(stop_event_.get());
  ::ResetEvent(data_files_ready_event_.get());
  ::ResetEvent(install_after_download_event_.get());
  install_thread_.reset(BeginInstallThread());
  if (install_thread_.is_valid())
    return;
  // No thread: nothing will ever report, so report now. Waiting for the
  // installation ends at once, as there is nothing to wait for.
  PLOG(ERROR) << "Failed to start the install thread.";
  if (delegate_)
    delegate_->OnInstallError(kInstallErrorGeneric);
}

HANDLE Installer::BeginInstallThread() {
  return reinterpret_cast<HANDLE>(_beginthreadex(
      nullptr, 0, &Installer::InstallThreadProc, this, 0, nullptr));
}

// static
unsigned __stdcall Installer::InstallThreadProc(void* param) {
  static_cast<Installer*>(param)->Install();
  return 0;
}

void Installer::StartInstallAfterDownload() {
  install_start_time_ = lite_installer::MonotonicNowUs();
  ::SetEvent(install_after_download_event_.get());
}

void Installer::InstallSync() {
  ::ResetEvent(stop_event_.get());
  install_start_time_ = lite_installer::MonotonicNowUs();
  ::SetEvent(install_after_download_event_.get());
  Install();
}

bool Installer::WaitForInstallAsync() {
  if (!install_thread_.is_valid())
    return true;
  ::SetEvent(stop_event_.get());
  return ::WaitForSingleObject(install_thread_.get(), thread_wait_ms_) !=
         WAIT_TIMEOUT;
}

void Installer::SetOkButtonPressedTime() {
  ok_button_pressed_time_ = lite_installer::MonotonicNowUs();
}

void Installer::SetMakeBrowserDefault(bool make_default) {
  const int version = base::GetWindowsVersionClass();
  // Windows 8 and 8.1 do not let programs change the default browser.
  if (version == base::kWin8 || version == base::kWin8_1)
    return;
  make_default_ = make_default ? 1 : 0;
}

void Installer::SetBrowserPresent(const std::string& install_type) {
  browser_present_ = install_type;
  stat_reporter_->SetBrowserPresent(install_type);
}

void Installer::SetElevatedProcessHolder(
    std::unique_ptr<ElevatedProcessHolder> holder) {
  elevated_process_holder_ = std::move(holder);
}

bool Installer::WillLaunchBrowser() const {
  return launch_browser_ && !options_->do_not_launch_browser;
}

void Installer::Install() {
  // The shared cell outlives installations (it is process-wide and shared
  // with the elevated copy): a kind left by an earlier one is not this one's.
  lite_installer::GetDelayedParams().error_kind = kInstallErrorNone;
  SendInstallerStartedEvent();

  if (deployment::IsFullInstaller) {
    if (options_->override_partner_package) {
      override_partner_package_ = *options_->override_partner_package;
      if (::GetFileAttributesW(override_partner_package_.c_str()) !=
          INVALID_FILE_ATTRIBUTES) {
        LOG(INFO) << "Partner package override is:"
                  << override_partner_package_;
      } else {
        PLOG(ERROR) << "Wrong overridden partner package path:"
                    << override_partner_package_;
      }
    }
  }

  run_guid_ = broupdater::NewGuidString();
  if (brand_)
    brand_->StoreLanguageValue();
  ExtractInstallerDataIfAbsent(temp_dir_);
  if (!deployment::IsFullInstaller) {
    // Left behind on failure, so that an installer started from the failure
    // page finds the data files and the brand again.
    installer::StoreProductValue(kInstallerDataValue, installer_data_path_);
    installer::StoreProductValue(kClidsValue, clids_file_path_);
    installer::StoreProductValue(kWebsiteIconValue, website_icon_path_);
    installer::StoreProductValue(kAbtConfigValue, abt_config_path_);
    if (brand_)
      brand_->StoreBrandValues();
  }
  ::SetEvent(data_files_ready_event_.get());

  int result = InstallBrowser();
  const bool success = result == 0;
  if (!success) {
    const int32_t shared_error = lite_installer::GetDelayedParams().error_kind;
    if (result == kInstallErrorGeneric && shared_error != 0)
      result = shared_error;
    if (delegate_ &&
        (::WaitForSingleObject(stop_event_.get(), 0) != WAIT_OBJECT_0 ||
         shared_error != 0)) {
      delegate_->OnInstallError(static_cast<InstallErrorKind>(result));
    }
  }
  if (success || deployment::IsFullInstaller) {
    for (const wchar_t* name : {kInstallerDataValue, kClidsValue,
                                kWebsiteIconValue, L"DistribInfoParams"}) {
      installer::RemoveProductValue(name);
    }
    if (brand_) {
      brand_->RemoveStoredValues();
      if (!brand_->brand_package_path_.empty())
        ::DeleteFileW(brand_->brand_package_path_.c_str());
      if (!brand_->partner_package_path_.empty())
        ::DeleteFileW(brand_->partner_package_path_.c_str());
    }
  }

  if (delegate_) {
    // Wait while the browser's message window exists.
    while (::WaitForSingleObject(stop_event_.get(), message_window_poll_ms_) ==
           WAIT_TIMEOUT) {
      if (!::FindWindowExW(HWND_MESSAGE, nullptr, kBrowserMessageWindowClass,
                           nullptr)) {
        delegate_->OnInstallFinished(true);
        break;
      }
    }
  }
  ReportInstallationFinished(success);
}

base::CommandLine Installer::BuildSetupCommandLine(
    const std::wstring& archive_path,
    bool include_data_files) const {
  return lite_installer::BuildSetupCommandLine(
      GetSetupInputs(archive_path, include_data_files), options_->command_line);
}

lite_installer::SetupCommandLineInputs Installer::GetSetupInputs(
    const std::wstring& archive_path,
    bool include_data_files) const {
  lite_installer::SetupCommandLineInputs inputs;
  inputs.archive_path = archive_path;
  inputs.include_data_files = include_data_files;
  if (delegate_)
    inputs.window_handle = delegate_->GetWindowHandle();
  inputs.uac_declined = uac_declined_;
  if (brand_) {
    inputs.brand_name = brand_->brand_name_;
    inputs.brand_id = brand_->brand_id_;
    inputs.partner_id = brand_->partner_id_;
    inputs.default_browser_ui_in_setup = brand_->default_browser_ui_in_setup_;
    inputs.brand_has_test_ids = !brand_->test_ids_.empty();
    inputs.brand_package_path = brand_->brand_package_path_;
    inputs.brand_package_extracted = brand_->brand_package_extracted_;
    inputs.partner_package_path = brand_->partner_package_path_;
    inputs.partner_package_extracted = brand_->partner_package_extracted_;
  }
  for (const TestId& id : test_ids_)
    inputs.test_ids.push_back(id.ToString());
  if (distrib_params_) {
    inputs.distrib_info_file_path = distrib_params_->distrib_info_path();
    distrib_params_->Get("uts2", &inputs.uts2);
    distrib_params_->Get("defbruiinsp", &inputs.defbruiinsp);
    inputs.elevation_mode = lite_installer::GetElevationMode(
        brand_, *distrib_params_, options_->command_line);
  }
  inputs.make_default = make_default_;
  inputs.send_statistics = send_statistics_;
  inputs.install_nrpin = install_nrpin_;
  inputs.ok_button_pressed_time = ok_button_pressed_time_;
  inputs.install_start_time = install_start_time_;
  inputs.browser_present = browser_present_;
  if (DataFilesSettled()) {
    inputs.abt_config_path = abt_config_path_;
    inputs.installer_data_path = installer_data_path_;
    inputs.clids_file_path = clids_file_path_;
    inputs.website_icon_path = website_icon_path_;
  }
  inputs.override_partner_package_path = override_partner_package_;
  if (async_tasks_) {
    inputs.has_prefetch_tasks = true;
    inputs.variations_path = async_tasks_->variations_path();
    inputs.abt_update_path = async_tasks_->abt_path();
    inputs.webntp_path = async_tasks_->webntp_path();
    inputs.server_config_bundle_path = async_tasks_->server_config_path();
    inputs.preloaded_wallpaper_bundle_path = async_tasks_->wallpapers_path();
  }
  inputs.source = deployment::IsFullInstaller ? "full" : "lite";
  return inputs;
}
