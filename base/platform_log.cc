#include "base/platform_log.h"

#include <windows.h>

#include <string>

namespace base {

void PlatformLogError(std::string_view text) {
  std::string line("lite_installer: ");
  line.append(text);
  line.push_back('\n');
  ::OutputDebugStringA(line.c_str());
}

}  // namespace base
