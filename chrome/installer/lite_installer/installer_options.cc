#include "chrome/installer/lite_installer/installer_options.h"

#include <cstdint>

#include "chrome/installer/lite_installer/switches.h"

namespace lite_installer {

// static
InstallerOptions InstallerOptions::FromCommandLine(
    const base::CommandLine& command_line) {
  namespace sw = switches;
  InstallerOptions o;
  o.command_line = command_line;
  // "semi-silent" stands for a silent run that may still ask for elevation;
  // setup receives all three.
  if (command_line.HasSwitch(sw::kSemiSilent)) {
    o.command_line.AppendSwitch(sw::kSilent);
    o.command_line.AppendSwitch(sw::kUacEnabled);
  }
  o.check_the_interface = command_line.HasSwitch(sw::kCheckTheInterface);
  o.run_as_admin = command_line.HasSwitch(sw::kRunAsAdmin);
  o.silent = o.command_line.HasSwitch(sw::kSilent);
  o.brand_name = command_line.GetSwitchValueNarrow(sw::kBrandName);
  o.system_level = command_line.HasSwitch(sw::kSystemLevel);
  o.program_files_installation =
      command_line.HasSwitch(sw::kProgramFilesInstallation);
  if (command_line.HasSwitch(sw::kDistrInfoParams))
    o.distr_info_params =
        command_line.GetSwitchValueNarrow(sw::kDistrInfoParams);
  o.nrpin_state = command_line.GetSwitchValueNarrow(sw::kNrpinState);
  o.make_browser_default_after_import =
      command_line.HasSwitch(sw::kMakeBrowserDefaultAfterImport);
  o.send_statistics = command_line.HasSwitch(sw::kSendStatistics);
  o.disable_nrpin = command_line.HasSwitch(sw::kDisableNrpin);
  o.download_x64 = command_line.HasSwitch(sw::kDownloadX64);
  o.download_x32 = command_line.HasSwitch(sw::kDownloadX32);
  o.installer_data = command_line.GetSwitchValue(sw::kInstallerData);
  o.clids_file = command_line.GetSwitchValue(sw::kClidsFile);
  o.website_icon_file = command_line.GetSwitchValue(sw::kWebsiteIconFile);
  o.abt_config_resource_file =
      command_line.GetSwitchValue(sw::kAbtConfigResourceFile);
  if (command_line.HasSwitch(sw::kOverridePartnerPackage)) {
    o.override_partner_package =
        command_line.GetSwitchValue(sw::kOverridePartnerPackage);
  }
  o.do_not_launch_browser = command_line.HasSwitch(sw::kDoNotLaunchBrowser);
  o.disable_error_dialog_download_button =
      command_line.HasSwitch(sw::kDisableErrorDialogDownloadButton);
  o.force_device_scale_factor =
      command_line.GetSwitchValueNarrow(sw::kForceDeviceScaleFactor);
  return o;
}

// static
const InstallerOptions& InstallerOptions::ForCurrentProcess() {
  static InstallerOptions options;
  static uint32_t parsed_generation = 0;
  // Parsed once; again only when a test has replaced the process command
  // line since.
  const base::CommandLine& current = base::CommandLine::ForCurrentProcess();
  const uint32_t generation = base::CommandLine::ProcessCommandLineGeneration();
  if (parsed_generation != generation) {
    options = FromCommandLine(current);
    parsed_generation = generation;
  }
  return options;
}

}  // namespace lite_installer
