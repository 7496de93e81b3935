#ifndef CHROME_INSTALLER_LITE_INSTALLER_MAIN_WINDOW_STAND_INS_H_
#define CHROME_INSTALLER_LITE_INSTALLER_MAIN_WINDOW_STAND_INS_H_

// Provisional pieces of the installation window, kept together so that
// each is replaced in one place when its subsystem is built.
// Each logs once per process that it is provisional.

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

class BrandPackageInfo;
class DistribInfoParams;
class Installer;

namespace lite_installer {

class MainWindow;

// Logs "<what> is provisional" once per process for each `what`.
void LogProvisionalOnce(const char* what);


}  // namespace lite_installer

#endif  // CHROME_INSTALLER_LITE_INSTALLER_MAIN_WINDOW_STAND_INS_H_
