#ifndef CHROME_INSTALLER_LITE_INSTALLER_SETUP_COMMAND_LINE_H_
#define CHROME_INSTALLER_LITE_INSTALLER_SETUP_COMMAND_LINE_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/command_line.h"
#include "chrome/installer/lite_installer/installer_options.h"

namespace lite_installer {

// Everything setup's command line is made of besides the installer's own
// switches: the only carrier of what setup receives. The installation
// engine fills it from its state, the brand, the distribution parameters
// and the prefetch tasks; the shared block for the elevated copy is written
// from it and read back into it. Defaults are the engine's initial state.
struct SetupCommandLineInputs {
  // The setup archive: the program of setup's command line.
  std::wstring archive_path;
  // Whether the data files written for setup are named on the line.
  bool include_data_files = false;

  // The window setup reports progress to (the delegate's GetWindowHandle);
  // none in a silent run.
  std::optional<uint32_t> window_handle;
  // The user declined the elevation prompt.
  bool uac_declined = false;

  // Brand values.
  std::string brand_name;
  std::string brand_id;
  std::string partner_id;
  bool default_browser_ui_in_setup = false;
  // Whether the brand itself carries test identifiers; only then are the
  // combined identifiers below passed on.
  bool brand_has_test_ids = false;
  // The combined brand and distribution test identifiers, in text form.
  std::vector<std::string> test_ids;

  // The distribution parameters file, and the raw values of the parameters
  // "uts2" and "defbruiinsp" (empty when absent).
  std::wstring distrib_info_file_path;
  std::string uts2;
  std::string defbruiinsp;

  // The user's choices, as bytes: 0 is no, anything else yes, except the
  // pin choice, which is exactly 1 for yes.
  uint8_t make_default = 0;
  uint8_t send_statistics = 0;
  uint8_t install_nrpin = 1;

  // Monotonic microseconds; 0 when not taken.
  int64_t ok_button_pressed_time = 0;
  int64_t install_start_time = 0;
  // The download's duration in whole seconds, as the elevated copy hands it
  // to setup (the interactive installer's own line has none).
  std::optional<std::wstring> download_time;
  // Which installer ran setup ("lite" or "full"); none when empty.
  std::string source;

  // Elevation mode 0, 1 or 2 from the distribution parameters.
  int elevation_mode = 0;
  // "corporate", "user" or "none"; empty when no window determined it.
  std::string browser_present;

  // Data files.
  std::wstring abt_config_path;
  std::wstring installer_data_path;
  std::wstring clids_file_path;
  std::wstring website_icon_path;
  std::wstring brand_package_path;
  bool brand_package_extracted = false;
  std::wstring partner_package_path;
  bool partner_package_extracted = false;
  std::wstring override_partner_package_path;

  // Prefetched files; only passed when the prefetch tasks exist.
  bool has_prefetch_tasks = false;
  std::wstring variations_path;
  std::wstring abt_update_path;
  std::wstring webntp_path;
  std::wstring server_config_bundle_path;
  std::wstring preloaded_wallpaper_bundle_path;
};

// Which process writes setup's line.
enum class SetupLineWriter {
  // The installer that obtained the archive: every switch from `inputs`.
  kInstaller,
  // The elevated copy: it starts from the line the interactive installer
  // prepared and sets only what the shared block carries (the archive, the
  // data files, the choices and the times); data files only when named.
  kElevatedCopy,
};

// Setup's command line: a copy of `base_line` (for the installer, its own
// command line: every switch it was given goes on to setup), with the
// archive as its program and the installer's own switches set from
// `inputs`. A choice that is off removes its switch even when the installer
// was given it.
base::CommandLine BuildSetupCommandLine(
    const SetupCommandLineInputs& inputs,
    const base::CommandLine& base_line =
        InstallerOptions::ForCurrentProcess().command_line,
    SetupLineWriter writer = SetupLineWriter::kInstaller);

}  // namespace lite_installer

#endif  // CHROME_INSTALLER_LITE_INSTALLER_SETUP_COMMAND_LINE_H_
