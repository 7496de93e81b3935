#ifndef BASE_SCOPED_HANDLE_H_
#define BASE_SCOPED_HANDLE_H_

#include <windows.h>

#include <utility>

namespace base {

// Owns one OS handle and closes it through Traits::Close. Move-only.
// Traits provide: using Handle; static Handle Invalid(); static bool
// IsValid(Handle); static void Close(Handle).
template <typename Traits>
class ScopedGeneric {
 public:
  using Handle = typename Traits::Handle;

  ScopedGeneric() : handle_(Traits::Invalid()) {}
  explicit ScopedGeneric(Handle handle) : handle_(handle) {}
  ScopedGeneric(const ScopedGeneric&) = delete;
  ScopedGeneric& operator=(const ScopedGeneric&) = delete;
  ScopedGeneric(ScopedGeneric&& other) noexcept : handle_(other.release()) {}
  ScopedGeneric& operator=(ScopedGeneric&& other) noexcept {
    reset(other.release());
    return *this;
  }
  ~ScopedGeneric() { reset(); }

  bool is_valid() const { return Traits::IsValid(handle_); }
  explicit operator bool() const { return is_valid(); }
  Handle get() const { return handle_; }

  void reset(Handle handle = Traits::Invalid()) {
    if (Traits::IsValid(handle_))
      Traits::Close(handle_);
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
  Handle handle_;
};

// Kernel objects whose creators return NULL on failure: events, mutexes,
// processes, threads, file mappings.
struct KernelHandleTraits {
  using Handle = HANDLE;
  static HANDLE Invalid() { return nullptr; }
  static bool IsValid(HANDLE h) {
    return h != nullptr && h != INVALID_HANDLE_VALUE;
  }
  static void Close(HANDLE h) { ::CloseHandle(h); }
};
using ScopedKernelHandle = ScopedGeneric<KernelHandleTraits>;

// Files and find handles: CreateFileW returns INVALID_HANDLE_VALUE.
struct FileHandleTraits {
  using Handle = HANDLE;
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static bool IsValid(HANDLE h) {
    return h != INVALID_HANDLE_VALUE && h != nullptr;
  }
  static void Close(HANDLE h) { ::CloseHandle(h); }
};
using ScopedFileHandle = ScopedGeneric<FileHandleTraits>;

struct RegKeyTraits {
  using Handle = HKEY;
  static HKEY Invalid() { return nullptr; }
  static bool IsValid(HKEY h) { return h != nullptr; }
  static void Close(HKEY h) { ::RegCloseKey(h); }
};
using ScopedHKEY = ScopedGeneric<RegKeyTraits>;

struct LibraryTraits {
  using Handle = HMODULE;
  static HMODULE Invalid() { return nullptr; }
  static bool IsValid(HMODULE h) { return h != nullptr; }
  static void Close(HMODULE h) { ::FreeLibrary(h); }
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
