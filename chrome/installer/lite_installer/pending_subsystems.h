#ifndef CHROME_INSTALLER_LITE_INSTALLER_PENDING_SUBSYSTEMS_H_
#define CHROME_INSTALLER_LITE_INSTALLER_PENDING_SUBSYSTEMS_H_

// Stand-ins for the subsystems that start-up calls but that are not built
// yet. Each one logs what is missing and answers with the failure or "not
// done" result of the real subsystem; none of them installs anything. Each
// is deleted when its subsystem lands.

#include <windows.h>

#include <string>

namespace lite_installer {


}  // namespace lite_installer

#endif  // CHROME_INSTALLER_LITE_INSTALLER_PENDING_SUBSYSTEMS_H_
