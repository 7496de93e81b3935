#include "chrome/installer/lite_installer/pending_subsystems.h"

#include "logging/file_logger.h"

namespace lite_installer {

void PendingShowProcessorUnsupported(LANGID language_id, int reason_id) {
  LOG(INFO) << "Processor refusal dialog is not built yet (language "
            << language_id << ", reason " << reason_id << ").";
}

void PendingShowNotEnoughDiskSpace() {
  LOG(INFO) << "Disk space notice is not built yet.";
}

}  // namespace lite_installer
