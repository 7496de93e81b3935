// Installer operations whose subsystems are not built yet. Each logs what
// is missing and answers with its failure result; none claims success.

#include "chrome/installer/lite_installer/installer.h"
#include "logging/file_logger.h"

void Installer::SetStatParam(const std::string& name,
                             const std::string& value) {
  stat_params_[name] = value;
}

void Installer::SendStatEvent(const char* event) {
  LOG(INFO) << "Statistics are not built yet; event not sent: " << event;
}
