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
  static HINTERNET Invalid() { return nullptr; }
  static bool IsValid(HINTERNET h) { return h != nullptr; }
  static void Close(HINTERNET h) { ::InternetCloseHandle(h); }
};
using ScopedInternetHandle = ScopedGeneric<InternetHandleTraits>;

}  // namespace base

#endif  // BASE_SCOPED_INTERNET_HANDLE_H_
