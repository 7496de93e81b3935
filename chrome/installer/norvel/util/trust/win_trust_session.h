#ifndef CHROME_INSTALLER_NORVEL_UTIL_TRUST_WIN_TRUST_SESSION_H_
#define CHROME_INSTALLER_NORVEL_UTIL_TRUST_WIN_TRUST_SESSION_H_

#include <windows.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <string>

#include "base/scoped_handle.h"

namespace install_util {

// WINTRUST_SIGNATURE_SETTINGS and the WINTRUST_DATA of Windows 8 and later
// that carries it; MinGW's headers have neither.
inline constexpr DWORD kWssVerifySpecific = 0x00000001;
inline constexpr DWORD kWssGetSecondarySigCount = 0x00000002;

struct WinTrustSignatureSettings {
  DWORD cbStruct;
  DWORD dwIndex;
  DWORD dwFlags;
  DWORD cSecondarySigs;
  DWORD dwVerifiedSigIndex;
  void* pCryptoPolicy;
};

struct WinTrustDataWithSignatureSettings : WINTRUST_DATA {
  WinTrustSignatureSettings* pSignatureSettings;
};

// One WinVerifyTrust conversation about a file, signature by signature.
// Each Verify closes the state of the previous one; the last state stays
// open (for the signer's certificates) until Close or destruction.
class WinTrustSession {
 public:
  struct Outcome {
    bool raised = false;  // a structured exception left WinVerifyTrust
    DWORD exception_code = 0;
    LONG result = 0;  // WinVerifyTrust's answer when !raised
  };

  // `prevents_net_usage` restricts revocation checks to cached data.
  WinTrustSession(std::wstring path, bool prevents_net_usage);
  WinTrustSession(const WinTrustSession&) = delete;
  WinTrustSession& operator=(const WinTrustSession&) = delete;
  ~WinTrustSession();

  // Checks signature `index` (0 the primary, then the nested ones).
  // `hash_only` asks for the file's hash alone, without the chain.
  //
  // A platform that ignores the requested index checks the primary
  // signature again and does not report the index it checked (Wine); a
  // nested signature is then checked as the only signature of a private
  // copy of the file, which has the same Authenticode hash.
  Outcome Verify(DWORD index, bool hash_only);

  // The count of nested signatures that the last check of the file itself
  // reported.
  DWORD secondary_signature_count() const { return secondary_count_; }

  // The provider data of the signature checked last; null when none.
  CRYPT_PROVIDER_DATA* provider_data() const;

  void Close();

 private:
  Outcome Call(const std::wstring& path,
               HANDLE file,
               DWORD index,
               bool hash_only);
  void CloseState();
  bool IsolateNestedSignature(DWORD index);

  const std::wstring path_;
  const bool prevents_net_usage_;
  WINTRUST_FILE_INFO file_info_ = {};
  WinTrustSignatureSettings settings_ = {};
  WinTrustDataWithSignatureSettings data_ = {};
  bool state_open_ = false;
  DWORD secondary_count_ = 0;
  // The copy holding one nested signature, deleted when closed.
  base::ScopedFileHandle copy_;
  std::wstring copy_path_;
};

}  // namespace install_util

#endif  // CHROME_INSTALLER_NORVEL_UTIL_TRUST_WIN_TRUST_SESSION_H_
