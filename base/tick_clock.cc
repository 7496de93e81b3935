#include "base/tick_clock.h"

namespace base {

DWORD TickClock::GetTickCount() const {
  return ::GetTickCount();
}

}  // namespace base
