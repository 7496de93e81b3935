#include "base/windows_version.h"

#include "base/system_facts.h"

namespace base {
namespace {

int g_cached_class = -1;

}  // namespace

int WindowsVersionClassFor(DWORD major, DWORD minor) {
  if (major < 5)
    return kWinPreXP;
  if (major == 5) {
    if (minor == 0)
      return kWinPreXP;  // Windows 2000
    return minor == 1 ? kWinXP : kWinServer2003;
  }
  if (major == 6) {
    switch (minor) {
      case 0:
        return kWinVista;
      case 1:
        return kWin7;
      case 2:
        return kWin8;
      default:
        return kWin8_1;
    }
  }
  return kWin10;
}

int GetWindowsVersionClass() {
  if (g_cached_class < 0) {
    auto version = SystemFacts::Current().GetWindowsVersion();
    g_cached_class =
        version ? WindowsVersionClassFor(version->major, version->minor)
                : kWinPreXP;
  }
  return g_cached_class;
}

void ResetWindowsVersionClassForTesting() {
  g_cached_class = -1;
}

}  // namespace base
