#ifndef BASE_SCOPED_INTERNET_HANDLE_H_
#define BASE_SCOPED_INTERNET_HANDLE_H_

#include <windows.h>

#include <wininet.h>

#include "base/scoped_handle.h"

namespace base {

// WinINet session, connection and request handles (HINTERNET, NULL when
// invalid), closed with InternetCloseHandle.
struct InternetHandleTraits {
  using Handle = HINTERNET;
  static constexpr char kCloseFunction[] = "InternetCloseHandle";
  static HINTERNET Invalid() { return nullptr; }
  static bool Close(HINTERNET h) { return ::InternetCloseHandle(h) != FALSE; }
};
using ScopedInternetHandle = ScopedGeneric<InternetHandleTraits>;

}  // namespace base

#endif  // BASE_SCOPED_INTERNET_HANDLE_H_
