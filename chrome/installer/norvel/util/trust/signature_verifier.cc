#include "chrome/installer/norvel/util/trust/signature_verifier.h"

#include <vector>

#include "base/scoped_crypt.h"
#include "logging/file_logger.h"

namespace install_util {

SignatureVerifier::~SignatureVerifier() {
  Cleanup();
}

bool SignatureVerifier::Initialize() {
  Cleanup();
  if (!::CryptAcquireContextW(&provider_, nullptr, nullptr, PROV_RSA_FULL,
                              CRYPT_VERIFYCONTEXT)) {
    const DWORD error = ::GetLastError();
    provider_ = 0;
    PLOG_CODE(ERROR, error)
        << "Failed to initialize crypt context, error: " << error;
    return false;
  }
  return true;
}

bool SignatureVerifier::HashData(std::span<const uint8_t> data) {
  if (hash_) {
    ::CryptDestroyHash(hash_);
    hash_ = 0;
  }
  if (!::CryptCreateHash(provider_, CALG_SHA1, 0, 0, &hash_)) {
    const DWORD error = ::GetLastError();
    hash_ = 0;
    PLOG_CODE(ERROR, error)
        << "Failed to initialize hash object, error: " << error;
    return false;
  }
  if (!::CryptHashData(hash_, data.data(), static_cast<DWORD>(data.size()),
                       0)) {
    const DWORD error = ::GetLastError();
    PLOG_CODE(ERROR, error) << "Failed to hash data, error: " << error;
    return false;
  }
  return true;
}

bool SignatureVerifier::ImportPublicKey(std::span<const uint8_t> key) {
  constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
  if (key_) {
    ::CryptDestroyKey(key_);
    key_ = 0;
  }
  base::ScopedLocalMemory decoded;
  DWORD decoded_size = 0;
  if (!::CryptDecodeObjectEx(kEncoding, X509_PUBLIC_KEY_INFO, key.data(),
                             static_cast<DWORD>(key.size()),
                             CRYPT_DECODE_ALLOC_FLAG, nullptr,
                             decoded.Receive(), &decoded_size)) {
    const DWORD error = ::GetLastError();
    PLOG_CODE(ERROR, error)
        << "Failed to convert decode public key, error: " << error;
    return false;
  }
  if (!::CryptImportPublicKeyInfo(
          provider_, kEncoding,
          static_cast<CERT_PUBLIC_KEY_INFO*>(decoded.get()), &key_)) {
    const DWORD error = ::GetLastError();
    key_ = 0;
    PLOG_CODE(ERROR, error) << "Failed to import crypt key, error: " << error;
    return false;
  }
  return true;
}

bool SignatureVerifier::VerifySignature(std::span<const uint8_t> signature) {
  if (signature.empty())
    return false;
  // CryptoAPI takes the signature least significant byte first.
  std::vector<uint8_t> reversed(signature.rbegin(), signature.rend());
  if (!::CryptVerifySignatureW(hash_, reversed.data(),
                               static_cast<DWORD>(reversed.size()), key_,
                               nullptr, 0)) {
    const DWORD error = ::GetLastError();
    PLOG_CODE(ERROR, error) << "Failed to verify signature, error: " << error;
    return false;
  }
  return true;
}

void SignatureVerifier::Cleanup() {
  if (key_) {
    if (!::CryptDestroyKey(key_)) {
      const DWORD error = ::GetLastError();
      PLOG_CODE(ERROR, error)
          << "Failed to destroy crypt key, error: " << error;
    }
    key_ = 0;
  }
  if (hash_) {
    if (!::CryptDestroyHash(hash_)) {
      const DWORD error = ::GetLastError();
      PLOG_CODE(ERROR, error) << "Failed to destroy, error: " << error;
    }
    hash_ = 0;
  }
  if (provider_) {
    if (!::CryptReleaseContext(provider_, 0)) {
      const DWORD error = ::GetLastError();
      PLOG_CODE(ERROR, error)
          << "Failed to release crypt context, error: " << error;
    }
    provider_ = 0;
  }
}

bool SignatureVerifier::Verify(std::span<const uint8_t> signature,
                               std::span<const uint8_t> key,
                               std::span<const uint8_t> data) {
  return Initialize() && HashData(data) && ImportPublicKey(key) &&
         VerifySignature(signature);
}

}  // namespace install_util
