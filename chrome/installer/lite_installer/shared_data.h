#ifndef CHROME_INSTALLER_LITE_INSTALLER_SHARED_DATA_H_
#define CHROME_INSTALLER_LITE_INSTALLER_SHARED_DATA_H_

#include <windows.h>

namespace lite_installer {

// Lives in a section that Windows shares between every process started from
// the same program file. The instance owning the single-instance mutex
// stores its process id here so that later instances can find its window.
// One aligned 32-bit store and load; no lock.
extern volatile DWORD master_installer_pid;

}  // namespace lite_installer

#endif  // CHROME_INSTALLER_LITE_INSTALLER_SHARED_DATA_H_
