#ifndef TEST_SUPPORT_SHADOW_PIXELS_H_
#define TEST_SUPPORT_SHADOW_PIXELS_H_

#include <windows.h>

#include <string>

#include "gtest/gtest.h"
#include "test/support/screen_capture.h"

namespace test {

// Sum of red, green and blue.
inline int Brightness(uint32_t argb) {
  return ((argb >> 16) & 0xFF) + ((argb >> 8) & 0xFF) + (argb & 0xFF);
}

inline RECT Grown(RECT rect, int by) {
  ::InflateRect(&rect, by, by);
  return rect;
}

// Whether the `count` pixels of `shot` from `start` + `step` on in steps of
// `step` (a drop shadow's margin, read from the window outward) are each
// darker than `backdrop` and no darker than the one before.
inline ::testing::AssertionResult FadesOutward(const Pixels& shot,
                                               POINT start,
                                               POINT step,
                                               int count,
                                               COLORREF backdrop) {
  const int limit = GetRValue(backdrop) + GetGValue(backdrop) + GetBValue(backdrop);
  int previous = 0;
  std::string values;
  bool fades = true;
  for (int i = 1; i <= count; ++i) {
    const int value = Brightness(shot.At(start.x + step.x * i, start.y + step.y * i));
    values += " " + std::to_string(value);
    fades = fades && value < limit && value >= previous;
    previous = value;
  }
  if (fades)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "brightness outward from (" << start.x << ", "
                                       << start.y << "):" << values << ", backdrop " << limit;
}

}  // namespace test

#endif  // TEST_SUPPORT_SHADOW_PIXELS_H_
