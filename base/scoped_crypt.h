#ifndef BASE_SCOPED_CRYPT_H_
#define BASE_SCOPED_CRYPT_H_

#include <windows.h>
#include <wincrypt.h>

#include "base/scoped_handle.h"

// Owners for CryptoAPI objects, on the same pattern as scoped_handle.h.
namespace base {

struct CertStoreTraits {
  using Handle = HCERTSTORE;
  static constexpr char kCloseFunction[] = "CertCloseStore";
  static HCERTSTORE Invalid() { return nullptr; }
  static bool Close(HCERTSTORE h) { return ::CertCloseStore(h, 0) != FALSE; }
};
using ScopedCertStore = ScopedGeneric<CertStoreTraits>;

struct CryptMsgTraits {
  using Handle = HCRYPTMSG;
  static constexpr char kCloseFunction[] = "CryptMsgClose";
  static HCRYPTMSG Invalid() { return nullptr; }
  static bool Close(HCRYPTMSG h) { return ::CryptMsgClose(h) != FALSE; }
};
using ScopedCryptMsg = ScopedGeneric<CryptMsgTraits>;

struct CertContextTraits {
  using Handle = PCCERT_CONTEXT;
  static constexpr char kCloseFunction[] = "CertFreeCertificateContext";
  static PCCERT_CONTEXT Invalid() { return nullptr; }
  static bool Close(PCCERT_CONTEXT h) {
    return ::CertFreeCertificateContext(h) != FALSE;
  }
};
using ScopedCertContext = ScopedGeneric<CertContextTraits>;

// Memory that CryptoAPI allocated for the caller (CRYPT_DECODE_ALLOC_FLAG).
struct LocalMemoryTraits {
  using Handle = void*;
  static constexpr char kCloseFunction[] = "LocalFree";
  static void* Invalid() { return nullptr; }
  // LocalFree returns null when it freed the memory.
  static bool Close(void* h) { return ::LocalFree(h) == nullptr; }
};
using ScopedLocalMemory = ScopedGeneric<LocalMemoryTraits>;

}  // namespace base

#endif  // BASE_SCOPED_CRYPT_H_
