#include "chrome/installer/lite_installer/pending_subsystems.h"

#include "chrome/installer/lite_installer/exit_codes.h"
#include "logging/file_logger.h"

namespace lite_installer {

void PendingCrashReporter::SetAnnotation(const std::string& key,
                                         const std::string& value) {
  LOG(INFO) << "Crash reporter is not built yet; annotation dropped: " << key;
}

int PendingExecuteAsAdmin() {
  LOG(INFO) << "Elevated installation is not built yet; nothing was run.";
  return kExitElevatedFailure;
}

void PendingShowProcessorUnsupported(LANGID language_id, int reason_id) {
  LOG(INFO) << "Processor refusal dialog is not built yet (language "
            << language_id << ", reason " << reason_id << ").";
}

void PendingShowNotEnoughDiskSpace() {
  LOG(INFO) << "Disk space notice is not built yet.";
}

}  // namespace lite_installer
