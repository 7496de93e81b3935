#ifndef CHROME_INSTALLER_NORVEL_UTIL_DISK_SPACE_H_
#define CHROME_INSTALLER_NORVEL_UTIL_DISK_SPACE_H_

#include <cstdint>

namespace installer {

// True when the drive that receives the browser (Program Files for a
// system-level installation, the local application data folder otherwise)
// has at least `required_bytes` free. Fails open: when the space cannot be
// measured the answer is true.
bool HasEnoughDiskSpace(bool system_level, uint32_t required_bytes);

}  // namespace installer

#endif  // CHROME_INSTALLER_NORVEL_UTIL_DISK_SPACE_H_
