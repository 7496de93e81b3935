#ifndef BASE_TICK_CLOCK_H_
#define BASE_TICK_CLOCK_H_

#include <windows.h>

namespace base {

// The millisecond tick count (GetTickCount) behind download time estimates.
// Production code asks TickClock::Current(); a test installs its own clock so
// that a minute of download passes without waiting for it.
class TickClock {
 public:
  virtual ~TickClock() = default;
  virtual DWORD GetTickCount() const;

  static const TickClock& Current();

 protected:
  friend class ScopedTickClockForTesting;
  static void Set(const TickClock* clock);
};

// Makes `clock` current until destruction. Set it up before the code under
// test starts threads.
class ScopedTickClockForTesting {
 public:
  explicit ScopedTickClockForTesting(const TickClock* clock);
  ScopedTickClockForTesting(const ScopedTickClockForTesting&) = delete;
  ScopedTickClockForTesting& operator=(const ScopedTickClockForTesting&) =
      delete;
  ~ScopedTickClockForTesting();
};

}  // namespace base

#endif  // BASE_TICK_CLOCK_H_
