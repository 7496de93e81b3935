#ifndef CHROME_INSTALLER_LITE_INSTALLER_SETUP_EXIT_CODE_H_
#define CHROME_INSTALLER_LITE_INSTALLER_SETUP_EXIT_CODE_H_

#include <cstdint>
#include <string>

namespace lite_installer {

// Names of setup's exit codes, for the log only. Null for a value that has
// no name.
const char* SetupExitCodeName(uint32_t value);

// Setup packs a status into the top byte of its exit code and a detail into
// the low 24 bits. Gives "NAME(status); error: detail", or
// "Exit code: status; error: detail" when the status has no name.
std::string FormatSetupExitCode(uint32_t exit_code);

}  // namespace lite_installer

#endif  // CHROME_INSTALLER_LITE_INSTALLER_SETUP_EXIT_CODE_H_
