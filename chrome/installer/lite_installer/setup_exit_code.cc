#include "chrome/installer/lite_installer/setup_exit_code.h"

namespace lite_installer {
namespace {

struct NamedExitCode {
  uint32_t value;
  const char* name;
};

constexpr NamedExitCode kSetupExitCodeNames[] = {
    {0, "SUCCESS_EXIT_CODE"},
    {1, "GENERIC_ERROR"},
    {101, "GENERIC_INITIALIZATION_FAILURE"},
    {105, "COMMAND_STRING_OVERFLOW"},
    {107, "WAIT_FOR_PROCESS_FAILED"},
    {108, "PATH_STRING_OVERFLOW"},
    {109, "UNABLE_TO_GET_WORK_DIRECTORY"},
    {110, "UNABLE_TO_FIND_REGISTRY_KEY"},
    {111, "PATCH_NOT_FOR_INSTALLED_VERSION"},
    {112, "UNABLE_TO_EXTRACT_CHROME_ARCHIVE"},
    {115, "UNABLE_TO_EXTRACT_SETUP_EXE"},
    {116, "UNABLE_TO_EXTRACT_SETUP"},
    {117, "UNABLE_TO_SET_DIRECTORY_ACL"},
    {512, "FAILED_TO_CREATE_INSTALLER_MUTEX"},
    {513, "ANOTHER_INSTALLER_RUNNING"},
};

}  // namespace

const char* SetupExitCodeName(uint32_t value) {
  for (const NamedExitCode& entry : kSetupExitCodeNames) {
    if (entry.value == value)
      return entry.name;
  }
  return nullptr;
}

std::string FormatSetupExitCode(uint32_t exit_code) {
  const uint32_t status = exit_code >> 24;
  const uint32_t detail = exit_code & 0xFFFFFF;
  std::string text;
  if (const char* name = SetupExitCodeName(status))
    text = std::string(name) + "(" + std::to_string(status) + ")";
  else
    text = "Exit code: " + std::to_string(status);
  return text + "; error: " + std::to_string(detail);
}

}  // namespace lite_installer
