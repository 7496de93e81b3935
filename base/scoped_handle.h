#ifndef BASE_SCOPED_HANDLE_H_
#define BASE_SCOPED_HANDLE_H_

#include <windows.h>

#include <utility>

namespace base {

namespace internal {

// A close that fails means the handle was not the owner's to close: closed
// twice, never opened, or of another kind. A programming error: debug
// builds say so (debugger output) and stop; release builds go on.
[[noreturn]] void ReportCloseFailure(const char* close_function, DWORD error);
// An owner was handed the invalid value of the other kind of HANDLE (NULL
// for a file, INVALID_HANDLE_VALUE for a kernel object): it came from the
// wrong kind of API. Reported like a failed close.
[[noreturn]] void ReportForeignInvalidValue(const char* close_function);

}  // namespace internal

// Owns one OS handle and closes it through Traits::Close. Move-only.
// Traits provide: using Handle; static Handle Invalid(), the one value that
// means "no handle"; static bool Close(Handle), false (with the thread's
// last error set) when the close failed; kCloseFunction, the name of the
// call for reports. HANDLE traits also provide IsOtherKindsInvalid(Handle).
template <typename Traits>
class ScopedGeneric {
 public:
  using Handle = typename Traits::Handle;

  ScopedGeneric() : handle_(Traits::Invalid()) {}
  explicit ScopedGeneric(Handle handle) : handle_(Traits::Invalid()) {
    reset(handle);
  }
  ScopedGeneric(const ScopedGeneric&) = delete;
  ScopedGeneric& operator=(const ScopedGeneric&) = delete;
  ScopedGeneric(ScopedGeneric&& other) noexcept : handle_(other.release()) {}
  ScopedGeneric& operator=(ScopedGeneric&& other) noexcept {
    reset(other.release());
    return *this;
  }
  ~ScopedGeneric() { reset(); }

  bool is_valid() const { return handle_ != Traits::Invalid(); }
  explicit operator bool() const { return is_valid(); }
  Handle get() const { return handle_; }

  void reset(Handle handle = Traits::Invalid()) {
#ifndef NDEBUG
    if constexpr (requires { Traits::IsOtherKindsInvalid(handle); }) {
      if (Traits::IsOtherKindsInvalid(handle))
        internal::ReportForeignInvalidValue(Traits::kCloseFunction);
    }
#endif
    if (is_valid())
      Close(handle_);
    handle_ = handle;
  }
  [[nodiscard]] Handle release() {
    Handle h = handle_;
    handle_ = Traits::Invalid();
    return h;
  }
  // For out-parameters of APIs that create the object; closes any current one.
  Handle* Receive() {
    reset();
    return &handle_;
  }

 private:
  static void Close(Handle handle) {
    const bool closed = Traits::Close(handle);
#ifndef NDEBUG
    if (!closed)
      internal::ReportCloseFailure(Traits::kCloseFunction, ::GetLastError());
#else
    (void)closed;
#endif
  }

  Handle handle_;
};

// Kernel objects whose creators return NULL on failure: events, mutexes,
// processes, threads, file mappings.
struct KernelHandleTraits {
  using Handle = HANDLE;
  static constexpr char kCloseFunction[] = "CloseHandle";
  static HANDLE Invalid() { return nullptr; }
  static bool IsOtherKindsInvalid(HANDLE h) { return h == INVALID_HANDLE_VALUE; }
  static bool Close(HANDLE h) { return ::CloseHandle(h) != FALSE; }
};
using ScopedKernelHandle = ScopedGeneric<KernelHandleTraits>;

// Files: CreateFileW returns INVALID_HANDLE_VALUE.
struct FileHandleTraits {
  using Handle = HANDLE;
  static constexpr char kCloseFunction[] = "CloseHandle";
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static bool IsOtherKindsInvalid(HANDLE h) { return h == nullptr; }
  static bool Close(HANDLE h) { return ::CloseHandle(h) != FALSE; }
};
using ScopedFileHandle = ScopedGeneric<FileHandleTraits>;

// Directory searches: FindFirstFileW returns INVALID_HANDLE_VALUE and its
// handle is closed with FindClose.
struct FindHandleTraits {
  using Handle = HANDLE;
  static constexpr char kCloseFunction[] = "FindClose";
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static bool Close(HANDLE h) { return ::FindClose(h) != FALSE; }
};
using ScopedFindHandle = ScopedGeneric<FindHandleTraits>;

struct RegKeyTraits {
  using Handle = HKEY;
  static constexpr char kCloseFunction[] = "RegCloseKey";
  static HKEY Invalid() { return nullptr; }
  static bool Close(HKEY h) {
    // The registry answers with the error instead of setting it.
    const LSTATUS status = ::RegCloseKey(h);
    if (status != ERROR_SUCCESS)
      ::SetLastError(static_cast<DWORD>(status));
    return status == ERROR_SUCCESS;
  }
};
using ScopedHKEY = ScopedGeneric<RegKeyTraits>;

struct LibraryTraits {
  using Handle = HMODULE;
  static constexpr char kCloseFunction[] = "FreeLibrary";
  static HMODULE Invalid() { return nullptr; }
  static bool Close(HMODULE h) { return ::FreeLibrary(h) != FALSE; }
};
using ScopedLibrary = ScopedGeneric<LibraryTraits>;

// Holds a mutex that the current thread owns; releases it on destruction.
class ScopedMutexRelease {
 public:
  explicit ScopedMutexRelease(HANDLE mutex) : mutex_(mutex) {}
  ScopedMutexRelease(const ScopedMutexRelease&) = delete;
  ScopedMutexRelease& operator=(const ScopedMutexRelease&) = delete;
  ~ScopedMutexRelease() {
    if (mutex_)
      ::ReleaseMutex(mutex_);
  }

 private:
  HANDLE mutex_;
};

// Restores the thread's last-error value when it goes out of scope, so that
// diagnostics do not disturb the caller's GetLastError().
class ScopedPreserveLastError {
 public:
  ScopedPreserveLastError() : error_(::GetLastError()) {}
  ScopedPreserveLastError(const ScopedPreserveLastError&) = delete;
  ScopedPreserveLastError& operator=(const ScopedPreserveLastError&) = delete;
  ~ScopedPreserveLastError() { ::SetLastError(error_); }

 private:
  DWORD error_;
};

}  // namespace base

#endif  // BASE_SCOPED_HANDLE_H_
