#ifndef BASE_SCOPED_SRW_LOCK_H_
#define BASE_SCOPED_SRW_LOCK_H_

#include <windows.h>

namespace base {

// Holds a slim reader/writer lock exclusively for its scope.
class ScopedExclusiveLock {
 public:
  explicit ScopedExclusiveLock(SRWLOCK* lock) : lock_(lock) {
    ::AcquireSRWLockExclusive(lock_);
  }
  ScopedExclusiveLock(const ScopedExclusiveLock&) = delete;
  ScopedExclusiveLock& operator=(const ScopedExclusiveLock&) = delete;
  ~ScopedExclusiveLock() { ::ReleaseSRWLockExclusive(lock_); }

 private:
  SRWLOCK* lock_;
};

}  // namespace base

#endif  // BASE_SCOPED_SRW_LOCK_H_
