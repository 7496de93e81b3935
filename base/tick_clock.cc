#include "base/tick_clock.h"

namespace base {

DWORD TickClock::GetTickCount() const {
  return ::GetTickCount();
}

int64_t TickClock::MonotonicNowUs() const {
  ULONGLONG units = 0;  // 100 ns
  ::QueryUnbiasedInterruptTime(&units);
  return static_cast<int64_t>(units / 10);
}

}  // namespace base
