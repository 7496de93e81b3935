#include "chrome/installer/lite_installer/setup_command_line.h"

#include <string>

#include "chrome/installer/lite_installer/switches.h"

namespace lite_installer {
namespace {

void AppendPathIf(base::CommandLine* line,
                  bool condition,
                  const char* name,
                  const std::wstring& path) {
  if (condition)
    line->AppendSwitch(name, path);
}

std::string JoinTestIds(const std::vector<std::string>& ids) {
  std::string joined;
  for (const std::string& id : ids) {
    if (!joined.empty())
      joined.push_back(';');
    joined += id;
  }
  return joined;
}

}  // namespace

base::CommandLine BuildSetupCommandLine(const SetupCommandLineInputs& in,
                                        const base::CommandLine& base_line,
                                        SetupLineWriter writer) {
  namespace sw = switches;
  const bool installer = writer == SetupLineWriter::kInstaller;
  base::CommandLine line = base_line;
  if (installer || !in.archive_path.empty())
    line.SetProgram(in.archive_path);

  if (installer) {
    if (in.uac_declined)
      line.AppendSwitch(sw::kDisableUac);
    line.AppendSwitchNarrow(sw::kProgressWindow,
                            std::to_string(in.window_handle.value_or(0)));
    line.AppendSwitch(sw::kVerboseLogging);
    line.AppendSwitchNarrow(sw::kBrandName, in.brand_name);
    AppendPathIf(&line, !in.distrib_info_file_path.empty(), sw::kDistrInfoFile,
                 in.distrib_info_file_path);
  }

  // The choices replace whatever the installer was given.
  line.SetSwitchPresence(sw::kMakeBrowserDefaultAfterImport,
                         in.make_default != 0);
  line.SetSwitchPresence(sw::kSendStatistics, in.send_statistics != 0);
  line.SetSwitchPresence(sw::kDisableNrpin, in.install_nrpin != 1);

  if (in.ok_button_pressed_time != 0) {
    line.AppendSwitchNarrow(sw::kOkButtonPressedTime,
                            std::to_string(in.ok_button_pressed_time));
  }
  if (in.install_start_time != 0) {
    line.AppendSwitchNarrow(sw::kInstallStartTimeNoUac,
                            std::to_string(in.install_start_time));
  }
  if (in.download_time)
    line.AppendSwitch(sw::kHistogramDownloadTime, *in.download_time);

  const bool data = in.include_data_files;
  // The installer names the first two files even before they exist; the
  // elevated copy names only what the block holds.
  const bool always = installer;
  AppendPathIf(&line, !in.abt_config_path.empty(), sw::kAbtConfigResourceFile,
               in.abt_config_path);
  AppendPathIf(&line, data && (always || !in.installer_data_path.empty()),
               sw::kInstallerData, in.installer_data_path);
  AppendPathIf(&line, data && (always || !in.clids_file_path.empty()),
               sw::kClidsFile, in.clids_file_path);
  AppendPathIf(&line, data && !in.website_icon_path.empty(),
               sw::kWebsiteIconFile, in.website_icon_path);
  AppendPathIf(&line, data && in.brand_package_extracted, sw::kBrandPackage,
               in.brand_package_path);
  AppendPathIf(&line, data && in.partner_package_extracted, sw::kPartnerPackage,
               in.partner_package_path);
  AppendPathIf(&line, data && !in.override_partner_package_path.empty(),
               sw::kOverridePartnerPackage, in.override_partner_package_path);
  if (!installer)
    return line;

  if (in.elevation_mode == 2)
    line.AppendSwitch(sw::kShowUacAtBrowserStart);
  if (in.uts2 == "1")
    line.AppendSwitch(sw::kUseTaskScheduler2);
  if (in.default_browser_ui_in_setup || in.defbruiinsp == "1")
    line.AppendSwitch(sw::kEnableDefaultBrowserUi);
  if (!in.browser_present.empty())
    line.AppendSwitchNarrow(sw::kBrowserPresent, in.browser_present);
  if (!in.brand_id.empty())
    line.AppendSwitchNarrow(sw::kInstallerBrandId, in.brand_id);
  if (!in.partner_id.empty())
    line.AppendSwitchNarrow(sw::kInstallerPartnerId, in.partner_id);
  if (in.brand_has_test_ids)
    line.AppendSwitchNarrow(sw::kTestIds, JoinTestIds(in.test_ids));

  const bool prefetch = in.has_prefetch_tasks;
  AppendPathIf(&line, prefetch && !in.variations_path.empty(),
               sw::kVariationsUpdatePath, in.variations_path);
  AppendPathIf(&line, prefetch && !in.abt_update_path.empty(),
               sw::kAbtUpdatePath, in.abt_update_path);
  AppendPathIf(&line, prefetch && !in.webntp_path.empty(), sw::kWebNtpPath,
               in.webntp_path);
  AppendPathIf(&line, prefetch && !in.server_config_bundle_path.empty(),
               sw::kServerConfigBundlePath, in.server_config_bundle_path);
  AppendPathIf(&line, prefetch && !in.preloaded_wallpaper_bundle_path.empty(),
               sw::kPreloadedWallpaperBundlePath,
               in.preloaded_wallpaper_bundle_path);
  if (!in.source.empty())
    line.AppendSwitchNarrow(sw::kSource, in.source);
  return line;
}

}  // namespace lite_installer
