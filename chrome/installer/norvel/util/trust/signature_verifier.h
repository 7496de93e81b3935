#ifndef CHROME_INSTALLER_NORVEL_UTIL_TRUST_SIGNATURE_VERIFIER_H_
#define CHROME_INSTALLER_NORVEL_UTIL_TRUST_SIGNATURE_VERIFIER_H_

#include <windows.h>
#include <wincrypt.h>

#include <cstdint>
#include <span>

namespace install_util {

// Checks an RSA PKCS #1 v1.5 signature with SHA-1 through CryptoAPI. The
// steps are separate so that a failure names the step in the log.
class SignatureVerifier {
 public:
  SignatureVerifier() = default;
  SignatureVerifier(const SignatureVerifier&) = delete;
  SignatureVerifier& operator=(const SignatureVerifier&) = delete;
  ~SignatureVerifier();

  bool Initialize();
  bool HashData(std::span<const uint8_t> data);
  // `key` is a DER SubjectPublicKeyInfo.
  bool ImportPublicKey(std::span<const uint8_t> key);
  // `signature` is most significant byte first, as every other tool writes
  // it.
  bool VerifySignature(std::span<const uint8_t> signature);
  void Cleanup();

  // Initialize, HashData, ImportPublicKey and VerifySignature; stops at the
  // first failure.
  bool Verify(std::span<const uint8_t> signature,
              std::span<const uint8_t> key,
              std::span<const uint8_t> data);

 private:
  HCRYPTPROV provider_ = 0;
  HCRYPTHASH hash_ = 0;
  HCRYPTKEY key_ = 0;
};

}  // namespace install_util

#endif  // CHROME_INSTALLER_NORVEL_UTIL_TRUST_SIGNATURE_VERIFIER_H_
