#ifndef BASE_OVERRIDABLE_INSTANCE_H_
#define BASE_OVERRIDABLE_INSTANCE_H_

namespace base {

template <typename T>
class ScopedOverrideForTesting;

// The seam for a machine fact that a test cannot change under Wine (the
// Windows version, the clock, ...). T derives from OverridableInstance<T>
// and declares its questions virtual; production code asks T::Current(),
// which answers with a plain T unless a test has installed a subclass.
template <typename T>
class OverridableInstance {
 public:
  static const T& Current() {
    static const T real{};
    return override_ ? *override_ : real;
  }

 private:
  friend class ScopedOverrideForTesting<T>;
  static inline const T* override_ = nullptr;
};

// Makes `instance` the current T until destruction, then restores the one
// before. Not thread-safe: set it up before the code under test starts
// threads.
template <typename T>
class ScopedOverrideForTesting {
 public:
  explicit ScopedOverrideForTesting(const T* instance)
      : previous_(OverridableInstance<T>::override_) {
    OverridableInstance<T>::override_ = instance;
  }
  ScopedOverrideForTesting(const ScopedOverrideForTesting&) = delete;
  ScopedOverrideForTesting& operator=(const ScopedOverrideForTesting&) = delete;
  ~ScopedOverrideForTesting() { OverridableInstance<T>::override_ = previous_; }

 private:
  const T* previous_;
};

}  // namespace base

#endif  // BASE_OVERRIDABLE_INSTANCE_H_
