#ifndef CHROME_INSTALLER_LITE_INSTALLER_INSTALLER_OPTIONS_H_
#define CHROME_INSTALLER_LITE_INSTALLER_INSTALLER_OPTIONS_H_

#include <optional>
#include <string>
#include <string_view>

#include "base/command_line.h"

namespace lite_installer {

// What the installer was asked to do: its command line, read once at
// start-up. The start-up sequence and the installation engine take their
// switches from here; every switch given also goes on to setup
// (`command_line`).
struct InstallerOptions {
  // Parses `command_line` (switch names from switches.h only here).
  static InstallerOptions FromCommandLine(
      const base::CommandLine& command_line);

  // The options of this process, parsed from the process command line on
  // first use. Tests that replace the process command line
  // (base::CommandLine::InitForCurrentProcessForTesting) get the options of
  // the new one.
  static const InstallerOptions& ForCurrentProcess();

  // The whole command line, passed on to setup, with "semi-silent" expanded
  // into "silent" and "uac-enabled".
  base::CommandLine command_line;

  // Start-up.
  bool check_the_interface = false;
  bool run_as_admin = false;
  bool silent = false;
  std::string brand_name;

  // Where and how setup installs.
  bool system_level = false;
  bool program_files_installation = false;

  // Distribution parameters and the taskbar-pin trial state given directly.
  std::optional<std::string> distr_info_params;
  std::string nrpin_state;

  // A silent run's choices.
  bool make_browser_default_after_import = false;
  bool send_statistics = false;
  bool disable_nrpin = false;

  // The setup archive to download.
  bool download_x64 = false;
  bool download_x32 = false;

  // Ready-made data files for setup (empty when not given).
  std::wstring installer_data;
  std::wstring clids_file;
  std::wstring website_icon_file;
  std::wstring abt_config_resource_file;
  std::optional<std::wstring> override_partner_package;

  bool do_not_launch_browser = false;
  // Installation errors point to the log instead of offering the download.
  bool disable_error_dialog_download_button = false;

  // The window's scale factor as given ("force-device-scale-factor"),
  // empty when not given.
  std::string force_device_scale_factor;
};

}  // namespace lite_installer

#endif  // CHROME_INSTALLER_LITE_INSTALLER_INSTALLER_OPTIONS_H_
