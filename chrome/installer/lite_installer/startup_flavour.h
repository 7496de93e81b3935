#ifndef CHROME_INSTALLER_LITE_INSTALLER_STARTUP_FLAVOUR_H_
#define CHROME_INSTALLER_LITE_INSTALLER_STARTUP_FLAVOUR_H_

namespace lite_installer {

// Fixed when the program is built: this product downloads setup instead of
// carrying it (the "full" flavour's branches exist but are not taken).
inline constexpr bool IsFullInstaller = false;

}  // namespace lite_installer

#endif  // CHROME_INSTALLER_LITE_INSTALLER_STARTUP_FLAVOUR_H_
