#ifndef BASE_EXCEPTION_GUARD_H_
#define BASE_EXCEPTION_GUARD_H_

#include <windows.h>

#include <string>
#include <type_traits>

namespace base {

// What a guarded call raised. The names are filled only for a delay-load
// failure (kDelayLoadModNotFound), from the delay-load information that the
// exception carries.
struct ExceptionRecord {
  DWORD code = 0;
  std::string dll_name;
  std::string function_name;
};

// The code the delay-load helper raises when a DLL cannot be loaded.
inline constexpr DWORD kDelayLoadModNotFound = 0xC06D007E;
// ... and when the DLL lacks the function.
inline constexpr DWORD kDelayLoadProcNotFound = 0xC06D007F;

// Runs `function(context)` under a structured-exception frame that catches
// every continuable exception raised below it. Returns true when the call
// returned normally; otherwise fills `record` and returns false, resuming
// right after the call. The abandoned frames are not unwound, so the guard
// is meant for calls whose failure leaves nothing of ours half done (the
// first call into a lazily bound system library).
bool CallWithExceptionGuard(void (*function)(void* context),
                            void* context,
                            ExceptionRecord* record);

// Convenience for lambdas and other callables.
template <typename F>
bool CallWithExceptionGuard(F&& callable, ExceptionRecord* record) {
  return CallWithExceptionGuard(
      [](void* context) {
        (*static_cast<std::remove_reference_t<F>*>(context))();
      },
      static_cast<void*>(&callable), record);
}

}  // namespace base

#endif  // BASE_EXCEPTION_GUARD_H_
