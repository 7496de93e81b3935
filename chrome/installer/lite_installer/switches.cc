#include "chrome/installer/lite_installer/switches.h"

#include "base/command_line.h"

namespace lite_installer {

const char* FindNonInstallSwitch(const base::CommandLine& command_line) {
  for (const char* name : kNonInstallSwitches) {
    if (command_line.HasSwitch(name))
      return name;
  }
  return nullptr;
}

}  // namespace lite_installer
