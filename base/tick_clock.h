#ifndef BASE_TICK_CLOCK_H_
#define BASE_TICK_CLOCK_H_

#include <windows.h>

#include <cstdint>

#include "base/overridable_instance.h"

namespace base {

// The millisecond tick count (GetTickCount) behind download time estimates,
// and the monotonic microseconds behind the slide show's cadence.
// Production code asks TickClock::Current(); a test installs its own clock so
// that a minute of download passes without waiting for it.
class TickClock : public OverridableInstance<TickClock> {
 public:
  virtual ~TickClock() = default;
  virtual DWORD GetTickCount() const;
  // Microseconds of the unbiased interrupt time (sleep not counted).
  virtual int64_t MonotonicNowUs() const;
};

// Makes `clock` current until destruction.
using ScopedTickClockForTesting = ScopedOverrideForTesting<TickClock>;

}  // namespace base

#endif  // BASE_TICK_CLOCK_H_
