#ifndef BASE_WINDOWS_VERSION_H_
#define BASE_WINDOWS_VERSION_H_

#include <windows.h>

namespace base {

// Windows version classes; every decision of the installer compares against
// one of these.
enum WindowsVersionClass : int {
  kWinPreXP = 0,
  kWinXP = 1,
  kWinServer2003 = 2,  // 5.2, also 64-bit XP
  kWinVista = 3,
  kWin7 = 4,
  kWin8 = 5,
  kWin8_1 = 6,
  kWin10 = 7,
};

// The class for a major.minor version (pure; no OS call).
int WindowsVersionClassFor(DWORD major, DWORD minor);

// The class of the running system, computed once per process from
// SystemFacts (so tests choose it before the first call, or reset it).
int GetWindowsVersionClass();
void ResetWindowsVersionClassForTesting();

}  // namespace base

#endif  // BASE_WINDOWS_VERSION_H_
