#include "chrome/installer/lite_installer/pending_subsystems.h"

#include "logging/file_logger.h"

namespace lite_installer {

}  // namespace lite_installer
