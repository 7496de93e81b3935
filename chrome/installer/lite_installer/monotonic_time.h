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

// Whole seconds of a microsecond duration, truncated toward zero. The two
// 64-bit extremes pass unchanged: they are not durations but markers.
inline int64_t WholeSeconds(int64_t microseconds) {
  if (microseconds == INT64_MIN || microseconds == INT64_MAX)
    return microseconds;
  return microseconds / 1000000;
}

}  // namespace lite_installer

#endif  // CHROME_INSTALLER_LITE_INSTALLER_MONOTONIC_TIME_H_
