#include "base/tick_clock.h"

namespace base {
namespace {

const TickClock* g_override = nullptr;

}  // namespace

DWORD TickClock::GetTickCount() const {
  return ::GetTickCount();
}

// static
const TickClock& TickClock::Current() {
  static const TickClock real;
  return g_override ? *g_override : real;
}

// static
void TickClock::Set(const TickClock* clock) {
  g_override = clock;
}

ScopedTickClockForTesting::ScopedTickClockForTesting(const TickClock* clock) {
  TickClock::Set(clock);
}

ScopedTickClockForTesting::~ScopedTickClockForTesting() {
  TickClock::Set(nullptr);
}

}  // namespace base
