#ifndef CHROME_INSTALLER_LITE_INSTALLER_SWITCHES_H_
#define CHROME_INSTALLER_LITE_INSTALLER_SWITCHES_H_

#include "chrome/installer/norvel/util/win10_default_browser.h"

namespace base {
class CommandLine;
}

namespace lite_installer {
namespace switches {

// Switches the installer reads. Every switch given to the installer is also
// passed on to setup.
inline constexpr char kSilent[] = "silent";
inline constexpr char kSemiSilent[] = "semi-silent";
inline constexpr char kUacEnabled[] = "uac-enabled";
inline constexpr char kSystemLevel[] = "system-level";
inline constexpr char kProgramFilesInstallation[] =
    "program-files-installation";
inline constexpr char kBrandName[] = "brand-name";
inline constexpr char kDistrInfoParams[] = "distr-info-params";
inline constexpr char kNrpinState[] = "nrpin-state";
inline constexpr char kMakeBrowserDefaultAfterImport[] =
    "make-browser-default-after-import";
inline constexpr char kSendStatistics[] = "send-statistics";
inline constexpr char kDisableNrpin[] = "disablenrpin";
inline constexpr char kDownloadX64[] = "download-x64";
inline constexpr char kDownloadX32[] = "download-x32";
inline constexpr char kOverridePartnerPackage[] = "override-partner-package";
inline constexpr char kDoNotLaunchBrowser[] = "do-not-launch-browser";
inline constexpr char kInstallerData[] = "installerdata";
inline constexpr char kClidsFile[] = "clids-file";
inline constexpr char kWebsiteIconFile[] = "norvel-website-icon-file";
inline constexpr char kAbtConfigResourceFile[] = "abt-config-resource-file";
// Spelled by the default-browser check, which starts a copy with it.
inline constexpr auto& kCheckTheInterface =
    installer::win10_default_browser::kCheckTheInterfaceSwitch;
inline constexpr char kRunAsAdmin[] = "run-as-admin";
inline constexpr char kSetupCmdLine[] = "setup-cmd-line";
inline constexpr char kParentInstallerProcessId[] =
    "parent-installer-process-id";
inline constexpr char kProgressWindow[] = "progress-window";
inline constexpr char kSpawnedInProtectedDir[] = "spawned_in_protected_dir";
inline constexpr char kDisableErrorDialogDownloadButton[] =
    "disable-error-dialog-download-button";
inline constexpr char kForceDeviceScaleFactor[] = "force-device-scale-factor";

// Switches only written for setup.
inline constexpr char kDisableUac[] = "disable-uac";
inline constexpr char kVerboseLogging[] = "verbose-logging";
inline constexpr char kDistrInfoFile[] = "distr-info-file";
inline constexpr char kOkButtonPressedTime[] = "ok-button-pressed-time";
inline constexpr char kInstallStartTimeNoUac[] = "install-start-time-no-uac";
inline constexpr char kBrandPackage[] = "brand-package";
inline constexpr char kPartnerPackage[] = "partner-package";
inline constexpr char kShowUacAtBrowserStart[] = "show-uac-at-browser-start";
inline constexpr char kUseTaskScheduler2[] = "use-task-scheduler2";
inline constexpr char kEnableDefaultBrowserUi[] = "enable-default-browser-ui";
inline constexpr char kBrowserPresent[] = "browser-present";
inline constexpr char kInstallerBrandId[] = "installer-brand-id";
inline constexpr char kInstallerPartnerId[] = "installer-partner-id";
inline constexpr char kTestIds[] = "testids";
inline constexpr char kVariationsUpdatePath[] = "variations-update-path";
inline constexpr char kAbtUpdatePath[] = "abt-update-path";
inline constexpr char kWebNtpPath[] = "webntp-path";
inline constexpr char kServerConfigBundlePath[] = "server-config-bundle-path";
inline constexpr char kPreloadedWallpaperBundlePath[] =
    "preloaded-wallpaper-bundle-path";
inline constexpr char kSource[] = "source";
inline constexpr char kHistogramDownloadTime[] = "histogram-download-time";

}  // namespace switches

// Setup switches whose presence means the run is not an installation, so an
// elevated restart is never worth its prompt.
inline constexpr const char* kNonInstallSwitches[] = {
    "update-setup-exe",
    "show-eula",
    "configure-user-settings",
    "register-dev-chrome",
    "register-browser-browser",
    "rename-browser-exe",
    "on-os-upgrade",
    "fake-rename-norvel-internet",
    "patch",
    "reenable-autoupdates",
    "simulate-crash",
    "delete-old-versions",
    "set-as-default-browser",
    "set-as-default-browser-dll",
    "pttw1",
    "pwattw1",
    "pttw0",
};

// The first of kNonInstallSwitches, in that list's order, that
// `command_line` carries; null when it has none.
const char* FindNonInstallSwitch(const base::CommandLine& command_line);

}  // namespace lite_installer

#endif  // CHROME_INSTALLER_LITE_INSTALLER_SWITCHES_H_
