#ifndef CHROME_INSTALLER_LITE_INSTALLER_MONOTONIC_TIME_H_
#define CHROME_INSTALLER_LITE_INSTALLER_MONOTONIC_TIME_H_

#include <windows.h>

#include <cstdint>

namespace lite_installer {

// Monotonic microseconds that do not count time the machine slept.
inline int64_t MonotonicNowUs() {
  ULONGLONG units = 0;  // 100 ns
  ::QueryUnbiasedInterruptTime(&units);
  return static_cast<int64_t>(units / 10);
}

}  // namespace lite_installer

#endif  // CHROME_INSTALLER_LITE_INSTALLER_MONOTONIC_TIME_H_
