#include "chrome/installer/norvel/util/trust/norvel_trust_verifier.h"

#include <windows.h>
#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <cstring>
#include <mutex>
#include <optional>
#include <span>
#include <string_view>
#include <utility>

#include "base/digest.h"
#include "base/platform_log.h"
#include "base/scoped_crypt.h"
#include "base/scoped_handle.h"
#include "base/strings.h"
#include "base/windows_version.h"
#include "chrome/installer/norvel/util/trust/extended_check.h"
#include "chrome/installer/norvel/util/trust/pinned_keys.h"
#include "chrome/installer/norvel/util/trust/signature_verifier.h"
#include "chrome/installer/norvel/util/trust/win_trust_session.h"
#include "deployment_config.h"
#include "logging/file_logger.h"

namespace install_util {
namespace {

constexpr char kSha256WithRsaOid[] = "1.2.840.113549.1.1.11";
constexpr char kObserverEvent[] = "win-verify-update";
// A real file carries one or two signatures; each check hashes the whole
// file, so a file claiming many more is refused instead of checked for
// minutes.
constexpr DWORD kMaxSecondarySignatures = 16;

std::mutex& ObserverLock() {
  static std::mutex lock;
  return lock;
}

TrustVerificationObserver& ObserverSlot() {
  static TrustVerificationObserver observer;
  return observer;
}

TrustVerificationObserver CopyObserver() {
  std::lock_guard<std::mutex> hold(ObserverLock());
  return ObserverSlot();
}

// Statistics want failures everywhere but successes only from the systems
// where the hash-only retry exists.
void OfferRecord(const base::Json& record) {
  TrustVerificationObserver observer = CopyObserver();
  if (!observer)
    return;
  if (record.size() <= 1 && record.contains("error_type") &&
      base::GetWindowsVersionClass() >= base::kWin10) {
    return;
  }
  base::Json delivered = record;
  delivered["crypt_version"] =
      installer::VersionNumberToString(GetCrypt32DllVersion());
  delivered["win_version"] =
      installer::VersionNumberToString(GetWindowsVersion());
  observer(kObserverEvent, delivered);
}

void SetRecord(base::Json* record,
               const char* error_type,
               std::optional<int64_t> error_code = std::nullopt) {
  (*record)["error_type"] = error_type;
  if (error_code)
    (*record)["error_code"] = *error_code;
}

bool IsPathSeparator(wchar_t c) {
  return c == L'\\' || c == L'/';
}

// A drive letter, a colon and a separator, or a UNC-style double separator:
// a relative name would be looked up along the library search path.
bool IsAbsolutePath(const std::wstring& path) {
  if (path.size() >= 3 &&
      ((path[0] >= L'A' && path[0] <= L'Z') ||
       (path[0] >= L'a' && path[0] <= L'z')) &&
      path[1] == L':' && IsPathSeparator(path[2])) {
    return true;
  }
  return path.size() >= 2 && IsPathSeparator(path[0]) &&
         IsPathSeparator(path[1]);
}

std::span<const uint8_t> ReadResource(HMODULE module,
                                      const wchar_t* type,
                                      const wchar_t* name) {
  HRSRC resource = ::FindResourceW(module, name, type);
  if (!resource)
    return {};
  const DWORD size = ::SizeofResource(module, resource);
  HGLOBAL loaded = ::LoadResource(module, resource);
  const void* data = loaded ? ::LockResource(loaded) : nullptr;
  if (!data)
    return {};
  return {static_cast<const uint8_t*>(data), size};
}

struct CertParams {
  Bytes serial;  // most significant byte first
  bool sha256_signature = false;
  Bytes key_hash;
};

bool ExtractCertParams(CRYPT_PROVIDER_DATA* data, CertParams* params) {
  if (!data || data->csSigners != 1)
    return false;
  CRYPT_PROVIDER_SGNR* signer =
      ::WTHelperGetProvSignerFromChain(data, 0, FALSE, 0);
  if (!signer || signer->csCertChain < 2)
    return false;
  CRYPT_PROVIDER_CERT* leaf = ::WTHelperGetProvCertFromChain(signer, 0);
  if (!leaf || !leaf->pCert || !leaf->pCert->pCertInfo)
    return false;
  const CERT_INFO& info = *leaf->pCert->pCertInfo;
  // CryptoAPI keeps integers least significant byte first.
  const uint8_t* serial = info.SerialNumber.pbData;
  params->serial.assign(
      std::make_reverse_iterator(serial + info.SerialNumber.cbData),
      std::make_reverse_iterator(serial));
  params->sha256_signature =
      info.SignatureAlgorithm.pszObjId &&
      std::strcmp(info.SignatureAlgorithm.pszObjId, kSha256WithRsaOid) == 0;
  const CRYPT_BIT_BLOB& key_bits = info.SubjectPublicKeyInfo.PublicKey;
  if (key_bits.cUnusedBits)
    LOG(ERROR) << "Unsupported case: cUnusedBit=" << key_bits.cUnusedBits;
  params->key_hash = CertificatePublicKeyHash(key_bits);
  return true;
}

// What the trusted list says of a signature's certificate.
enum class TrustMatch { kAccepted, kUnknownSerial, kKeyMismatch };

TrustMatch MatchTrustedList(const TrustedCertificateMap& trusted,
                            const CertParams& params) {
  const TrustedCertificate* entry =
      FindTrustedCertificate(trusted, params.serial);
  if (!entry)
    return TrustMatch::kUnknownSerial;
  return IsCertificateKeyAccepted(*entry, params.key_hash)
             ? TrustMatch::kAccepted
             : TrustMatch::kKeyMismatch;
}

// The result record of the signature being checked; each record is offered
// to the observer once, before the next signature's check starts or when
// the walk ends.
class SignatureRecord {
 public:
  // Offers the previous signature's record, if any, and starts afresh.
  void StartSignature() {
    if (!record_.empty())
      Offer();
  }
  void Set(const char* error_type,
           std::optional<int64_t> error_code = std::nullopt) {
    SetRecord(&record_, error_type, error_code);
  }
  void NoteHashOnlyRecheck(LONG original) {
    record_["extended_check"] = 1;
    record_["error_code_original"] = static_cast<int64_t>(original);
  }
  bool empty() const { return record_.empty(); }
  void Offer() {
    OfferRecord(record_);
    record_ = base::Json::object();
  }

 private:
  base::Json record_ = base::Json::object();
};

}  // namespace

Bytes CertificatePublicKeyHash(const CRYPT_BIT_BLOB& key_bits) {
  if (key_bits.cUnusedBits)
    return Bytes();
  uint8_t digest[base::kSha256Length];
  base::Sha256(key_bits.pbData, key_bits.cbData, digest);
  return Bytes(digest, digest + sizeof(digest));
}

bool NorvelTrustVerifierBase::GetTrustedFiles(const std::string& text,
                                              TrustedCertificateMap* map) {
  TrustedListParseResult result = ParseTrustedList(text, map);
  switch (result.status) {
    case TrustedListParseResult::kOk:
      return true;
    case TrustedListParseResult::kInvalidJson:
      LOG(ERROR) << "Failed to read json : " << result.json_error;
      return false;
    case TrustedListParseResult::kIncorrectFormat:
      LOG(ERROR) << "Incorrect format of json";
      return false;
  }
  return false;
}

NorvelTrustVerifier::NorvelTrustVerifier(TrustedCertificateMap trusted)
    : trusted_(std::move(trusted)) {}

// static
std::string NorvelTrustVerifier::GetTrustJsonFromModule(
    const std::wstring& path) {
  if (!IsAbsolutePath(path)) {
    LOG(ERROR) << "Attempting to GetTrustJsonFromModule at an invalid path: "
               << path;
    return std::string();
  }
  // Only the resources are needed: nothing of the module may run.
  base::ScopedLibrary module(::LoadLibraryExW(
      path.c_str(), nullptr,
      LOAD_LIBRARY_AS_IMAGE_RESOURCE | LOAD_LIBRARY_AS_DATAFILE));
  if (!module) {
    LOG(ERROR) << "Failed to load module for GetTrustJsonFromModule: " << path;
    return std::string();
  }
  std::span<const uint8_t> signature =
      ReadResource(module.get(), L"SIGNATURE_DAT", L"SIGNATURE.DAT");
  if (signature.size() <= 2) {
    LOG(ERROR) << "Cannot find resource "
               << "SIGNATURE_DAT";
    return std::string();
  }
  std::span<const uint8_t> list =
      ReadResource(module.get(), L"TRUSTED_JSON", L"TRUSTED.JSON");
  if (list.empty()) {
    LOG(ERROR) << "Cannot find resource "
               << "TRUSTED_JSON";
    return std::string();
  }
  const unsigned key_number = signature[0] | signature[1] << 8;
  std::optional<Bytes> key;
  if (key_number < kPinnedKeyCount)
    key = DecodeBase64Strict(kPinnedPublicKeys[key_number]);
  if (!key) {
    LOG(ERROR) << "Cannot find key";
    return std::string();
  }
  SignatureVerifier verifier;
  if (!verifier.Verify(signature.subspan(2), *key, list)) {
    LOG(ERROR) << "Verify error";
    return std::string();
  }
  return std::string(list.begin(), list.end());
}

bool NorvelTrustVerifier::VerifyModule(const std::wstring& path,
                                       bool prevents_net_usage) {
  LOG(INFO) << "Verifying " << path;
  return VerifyModuleImpl(path, prevents_net_usage);
}

bool NorvelTrustVerifier::VerifyModuleImpl(const std::wstring& path,
                                           bool prevents_net_usage) {
  if (trusted_.empty())
    return false;

  WinTrustSession session(path, prevents_net_usage);
  bool remembered_success = false;
  bool sha256_failed = false;
  SignatureRecord record;
  for (DWORD index = 0; index <= session.secondary_signature_count(); ++index) {
    record.StartSignature();

    // The platform's check, and on old systems its hash-only recheck.
    WinTrustSession::Outcome outcome = session.Verify(index, false);
    if (index == 0 &&
        session.secondary_signature_count() > kMaxSecondarySignatures) {
      LOG(ERROR) << "Refusing " << path << " with "
                 << session.secondary_signature_count()
                 << " secondary signatures";
      return false;
    }
    if (!outcome.raised && outcome.result != 0) {
      if (!ShouldUseExtendedCheck()) {
        record.Set("hash", outcome.result);
        continue;
      }
      record.NoteHashOnlyRecheck(outcome.result);
      LOG(WARNING) << "Start additional sha256 verification. " << path
                   << " Error code: " << outcome.result;
      outcome = session.Verify(index, true);
      if (!outcome.raised) {
        LOG(INFO) << "Extended verification "
                  << (outcome.result == 0 ? "success. " : "failed. ") << path
                  << " Error code: " << outcome.result;
        if (outcome.result != 0) {
          record.Set("hash", outcome.result);
          continue;
        }
      }
    }
    if (outcome.raised) {
      LOG(ERROR) << "An attempt to verify " << path
                 << " generated an exception " << outcome.exception_code
                 << ", is_prevents_net_usage = " << prevents_net_usage;
      record.Set("exception", outcome.exception_code);
      continue;
    }

    // The optional signer check.
    if (ShouldUseExtendedCheck() && GetWin7UpdateConfig().verify_signer) {
      LOG(INFO) << "Trying to verify the signer of file " << path;
      const int signer = VerifyFileSigner(path);
      if (signer != 0) {
        LOG(ERROR) << "Failed to verify signer, error=" << signer;
        record.Set("signer", 1);
        continue;
      }
      LOG(INFO) << "Signer verified";
    }

    // The signing certificate.
    CertParams params;
    if (!ExtractCertParams(session.provider_data(), &params)) {
      base::PlatformLogError(
          "norvel_trust_verifier_win: ExtractCertParams "
          "failed. " +
          base::WideToUTF8(path));
      record.Set("extract", 1);
      continue;
    }

    // The decision against the trusted list.
    if (!params.sha256_signature && sha256_failed) {
      record.Set("s2_fail_ignore_s1", 1);
      continue;
    }
    LOG(INFO) << "Certificate's serial number: "
              << EncodeHexUpper(params.serial);
    LOG(INFO) << "Certificate's public key: "
              << EncodeHexUpper(params.key_hash);
    const TrustMatch match = MatchTrustedList(trusted_, params);
    switch (match) {
      case TrustMatch::kAccepted:
        break;
      case TrustMatch::kUnknownSerial:
        record.Set("find", 1);
        LOG(ERROR) << "Can not find sertificate in trusted list. " << path;
        break;
      case TrustMatch::kKeyMismatch:
        LOG(ERROR) << "Public key is not match. " << path;
        record.Set("pub_key", 1);
        break;
    }
    if (match != TrustMatch::kAccepted) {
      // A SHA-256 signature by an unknown publisher outweighs any SHA-1 one.
      if (params.sha256_signature) {
        LOG(ERROR) << "SHA256 verification failed. " << path;
        sha256_failed = true;
        remembered_success = false;
      }
      continue;
    }
    remembered_success = true;
    if (params.sha256_signature) {
      record.Set("ok_sha256");
      record.Offer();
      LOG(INFO) << "File successfully verified with sha256. " << path;
      session.Close();
      return true;
    }
  }

  // The verdict after the last signature.
  if (remembered_success) {
    record.Set("ok");
    LOG(INFO) << "File successfully verified. " << path;
  } else {
    LOG(ERROR) << "KNOWN_ERROR_untrusted_certificate";
    LOG(ERROR) << "Can not find any trusted certificates. " << path;
    if (record.empty())
      record.Set("no_key", 1);
    for (const auto& [serial, entry] : trusted_) {
      LOG(ERROR) << "Trusted JSON serial number: " << EncodeHexUpper(serial);
      LOG(ERROR) << "Trusted JSON public key: "
                 << EncodeHexUpper(entry.key_hash);
    }
  }
  record.Offer();
  session.Close();
  return remembered_success;
}

bool VerifyModuleFile(const std::wstring& path) {
  std::string text = NorvelTrustVerifier::GetTrustJsonFromModule(path);
  TrustedCertificateMap trusted;
  if (!NorvelTrustVerifierBase::GetTrustedFiles(text, &trusted))
    trusted.clear();
  NorvelTrustVerifier verifier(std::move(trusted));
  // A full installer carries setup inside and may run offline.
  const bool prevents_net_usage = deployment::IsFullInstaller;
  bool verified = verifier.VerifyModule(path, prevents_net_usage);
  if (!verified && prevents_net_usage)
    verified = verifier.VerifyModule(path, false);
  return verified;
}

int VerifyFileSigner(const std::wstring& path) {
  base::ScopedFileHandle file(::CreateFileW(
      path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file)
    return 1;
  uint8_t first_byte = 0;
  DWORD read = 0;
  if (!::ReadFile(file.get(), &first_byte, 1, &read, nullptr) || read != 1)
    return 2;
  file.reset();

  base::ScopedCertStore store;
  base::ScopedCryptMsg message;
  if (!::CryptQueryObject(CERT_QUERY_OBJECT_FILE, path.c_str(),
                          CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED,
                          CERT_QUERY_FORMAT_FLAG_BINARY, 0, nullptr, nullptr,
                          nullptr, store.Receive(), message.Receive(),
                          nullptr)) {
    const DWORD error = ::GetLastError();
    LOG(ERROR) << "Failed to CryptQueryObject, gle=" << error
               << " filepath=" << path;
    return 3;
  }
  HCERTSTORE stores[] = {store.get()};
  if (!::CryptMsgGetAndVerifySigner(message.get(), 1, stores,
                                    CMSG_TRUSTED_SIGNER_FLAG, nullptr,
                                    nullptr)) {
    const DWORD error = ::GetLastError();
    LOG(ERROR) << "Failed to CryptMsgGetAndVerifySigner, gle=" << error
               << " filepath=" << path;
    return 4;
  }
  return 0;
}

void SetTrustVerificationObserver(TrustVerificationObserver observer) {
  std::lock_guard<std::mutex> hold(ObserverLock());
  ObserverSlot() = std::move(observer);
}

}  // namespace install_util
