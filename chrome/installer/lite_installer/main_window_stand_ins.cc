#include "chrome/installer/lite_installer/main_window_stand_ins.h"

#include <iterator>
#include <string>

#include "brand/distrib_info_params.h"
#include "chrome/installer/lite_installer/image_checkbox.h"
#include "chrome/installer/lite_installer/installer.h"
#include "chrome/installer/lite_installer/lite_installer_helpers.h"
#include "chrome/installer/lite_installer/localized_strings.h"
#include "chrome/installer/lite_installer/main_window.h"
#include "chrome/installer/lite_installer/scale_factor.h"
#include "logging/file_logger.h"

namespace lite_installer {

void LogProvisionalOnce(const char* what) {
  // Callers pass literals: the address names the stand-in.
  static SRWLOCK lock = SRWLOCK_INIT;
  static const char* logged[32];
  static size_t count = 0;
  ::AcquireSRWLockExclusive(&lock);
  bool first = count < std::size(logged);
  for (size_t i = 0; i < count && first; ++i)
    first = logged[i] != what;
  if (first)
    logged[count++] = what;
  ::ReleaseSRWLockExclusive(&lock);
  if (first)
    LOG(INFO) << what << " is provisional";
}

}  // namespace lite_installer
