#ifndef CHROME_INSTALLER_NORVEL_UTIL_WIN10_DEFAULT_BROWSER_H_
#define CHROME_INSTALLER_NORVEL_UTIL_WIN10_DEFAULT_BROWSER_H_

// Whether the system lets the browser become the default browser, which
// decides whether the installation window offers that choice. On the
// Windows 10 builds in doubt the answer comes from a copy of this program
// started with kCheckTheInterfaceSwitch, so that a crash of the probe
// (application_association_registration_internal.h) only ends the copy.
namespace installer::win10_default_browser {

// The switch that makes the program answer the probe and nothing else.
inline constexpr char kCheckTheInterfaceSwitch[] = "check-the-interface";

// Exit codes of the copy that answers the switch. Any other code is a
// failure: a negative one (as a signed 32-bit number) is a crash.
enum CheckProcessExitCode : int {
  kCheckExitInterfaceUsable = 700,
  kCheckExitInterfaceNotUsable = 701,
  // Given to a copy that had to be ended because it did not answer in time.
  kCheckExitTerminated = 22,
};

// How long the caller's thread waits for the copy's answer.
inline constexpr unsigned long kCheckTimeoutMs = 3000;

// True before Windows 8 and on Windows 10 builds known to be safe, false on
// Windows 8 and 8.1; on other Windows 10 builds, the copy's answer. Blocks
// the calling thread while the copy runs (kCheckTimeoutMs at most). Nothing
// is cached: each call on a build in doubt starts a new copy.
bool CanSetDefaultBrowser();

// True from build 17704 on, and on build 17134 from update revision 319 on
// ("UBR" under HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion).
bool IsKnownSafeWindowsBuild();

}  // namespace installer::win10_default_browser

#endif  // CHROME_INSTALLER_NORVEL_UTIL_WIN10_DEFAULT_BROWSER_H_
