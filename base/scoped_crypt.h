#ifndef BASE_SCOPED_CRYPT_H_
#define BASE_SCOPED_CRYPT_H_

#include <windows.h>
#include <wincrypt.h>

#include "base/scoped_handle.h"

// Owners for CryptoAPI objects, on the same pattern as scoped_handle.h.
namespace base {

struct CertStoreTraits {
  using Handle = HCERTSTORE;
  static HCERTSTORE Invalid() { return nullptr; }
  static bool IsValid(HCERTSTORE h) { return h != nullptr; }
  static void Close(HCERTSTORE h) { ::CertCloseStore(h, 0); }
};
using ScopedCertStore = ScopedGeneric<CertStoreTraits>;

struct CryptMsgTraits {
  using Handle = HCRYPTMSG;
  static HCRYPTMSG Invalid() { return nullptr; }
  static bool IsValid(HCRYPTMSG h) { return h != nullptr; }
  static void Close(HCRYPTMSG h) { ::CryptMsgClose(h); }
};
using ScopedCryptMsg = ScopedGeneric<CryptMsgTraits>;

struct CertContextTraits {
  using Handle = PCCERT_CONTEXT;
  static PCCERT_CONTEXT Invalid() { return nullptr; }
  static bool IsValid(PCCERT_CONTEXT h) { return h != nullptr; }
  static void Close(PCCERT_CONTEXT h) { ::CertFreeCertificateContext(h); }
};
using ScopedCertContext = ScopedGeneric<CertContextTraits>;

// Memory that CryptoAPI allocated for the caller (CRYPT_DECODE_ALLOC_FLAG).
struct LocalMemoryTraits {
  using Handle = void*;
  static void* Invalid() { return nullptr; }
  static bool IsValid(void* h) { return h != nullptr; }
  static void Close(void* h) { ::LocalFree(h); }
};
using ScopedLocalMemory = ScopedGeneric<LocalMemoryTraits>;

}  // namespace base

#endif  // BASE_SCOPED_CRYPT_H_
