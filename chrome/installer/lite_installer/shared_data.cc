#include "chrome/installer/lite_installer/shared_data.h"

namespace lite_installer {

// The "shared" attribute marks the section read-write-shared in the image;
// the variable must be initialised to be placed there.
__attribute__((section(".shared"),
               shared)) volatile DWORD master_installer_pid = 0;

}  // namespace lite_installer

#include "chrome/installer/lite_installer/delayed_params.h"

namespace lite_installer {
namespace {

// A second shared section: the block handed to the elevated copy.
__attribute__((section(".delayed"), shared))
DelayedParams g_delayed_params = {};

}  // namespace

DelayedParams& GetDelayedParams() {
  return g_delayed_params;
}

}  // namespace lite_installer
