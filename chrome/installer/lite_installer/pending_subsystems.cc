#include "chrome/installer/lite_installer/pending_subsystems.h"

#include "chrome/installer/lite_installer/exit_codes.h"
#include "logging/file_logger.h"

namespace lite_installer {

int PendingExecuteAsAdmin() {
  LOG(INFO) << "Elevated installation is not built yet; nothing was run.";
  return kExitElevatedFailure;
}

}  // namespace lite_installer
