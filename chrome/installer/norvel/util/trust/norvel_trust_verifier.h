#ifndef CHROME_INSTALLER_NORVEL_UTIL_TRUST_NORVEL_TRUST_VERIFIER_H_
#define CHROME_INSTALLER_NORVEL_UTIL_TRUST_NORVEL_TRUST_VERIFIER_H_

#include <windows.h>
#include <wincrypt.h>

#include <functional>
#include <string>

#include "base/json.h"
#include "chrome/installer/norvel/util/trust/trusted_list.h"

// Publisher checks of a downloaded executable: Authenticode through
// WinVerifyTrust, then the signing certificate must be one of the list that
// the executable carries ("TRUSTED.JSON"), and that list must be signed
// ("SIGNATURE.DAT") with one of the pinned keys.
namespace install_util {

class NorvelTrustVerifierBase {
 public:
  // Fills `map` from the list text; false (and logs) when the text is not
  // JSON or not shaped like a list.
  static bool GetTrustedFiles(const std::string& text,
                              TrustedCertificateMap* map);
};

class NorvelTrustVerifier : public NorvelTrustVerifierBase {
 public:
  explicit NorvelTrustVerifier(TrustedCertificateMap trusted);

  // The module's list text when its signature checks out with the pinned key
  // it names; empty otherwise. `path` must be absolute.
  static std::string GetTrustJsonFromModule(const std::wstring& path);

  // Whether `path` is signed by a certificate of the list.
  // `prevents_net_usage` keeps revocation checks off the network.
  bool VerifyModule(const std::wstring& path, bool prevents_net_usage);

  const TrustedCertificateMap& trusted() const { return trusted_; }

 private:
  bool VerifyModuleImpl(const std::wstring& path, bool prevents_net_usage);

  TrustedCertificateMap trusted_;
};

// SHA-256 of a certificate's public key bits, as trusted lists name keys;
// empty when it cannot be computed: a bit string with unused bits, which
// the keys of code-signing certificates never have.
Bytes CertificatePublicKeyHash(const CRYPT_BIT_BLOB& key_bits);

// The whole check, before a downloaded executable is run.
bool VerifyModuleFile(const std::wstring& path);

// Checks the signature of the file's signer against the certificate in the
// file: 0 success, 1 no such file, 2 its first byte can't be read,
// 3 CryptQueryObject failed, 4 CryptMsgGetAndVerifySigner failed.
int VerifyFileSigner(const std::wstring& path);

// Receives one result record per checked signature, with the event name
// "win-verify-update". Process-wide; none by default, and records are then
// discarded.
using TrustVerificationObserver =
    std::function<void(const std::string& event, const base::Json& record)>;
void SetTrustVerificationObserver(TrustVerificationObserver observer);

}  // namespace install_util

#endif  // CHROME_INSTALLER_NORVEL_UTIL_TRUST_NORVEL_TRUST_VERIFIER_H_
