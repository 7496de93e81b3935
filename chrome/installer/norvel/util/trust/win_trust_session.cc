#include "chrome/installer/norvel/util/trust/win_trust_session.h"

#include <softpub.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "base/der_reader.h"
#include "base/exception_guard.h"
#include "base/pe_image_reader.h"
#include "base/scoped_crypt.h"
#include "chrome/installer/norvel/util/trust/pe_certificate_table.h"
#include "logging/file_logger.h"

namespace install_util {
namespace {

// dwVerifiedSigIndex before the call; a platform that honours the index
// overwrites it.
constexpr DWORD kIndexNotReported = 0xFFFFFFFF;
// Enough for the DOS, PE and optional headers of any real image.
constexpr DWORD kHeaderReadSize = 64 * 1024;
// Certificate tables hold a few signatures and certificates.
constexpr uint32_t kMaxCertificateTableSize = 8 * 1024 * 1024;
constexpr DWORD kCopyChunkSize = 256 * 1024;
constexpr char kNestedSignatureOid[] = "1.3.6.1.4.1.311.2.4.1";

bool ReadExactly(HANDLE file, void* buffer, DWORD size) {
  DWORD read = 0;
  return ::ReadFile(file, buffer, size, &read, nullptr) && read == size;
}

bool WriteAll(HANDLE file, const void* buffer, DWORD size) {
  DWORD written = 0;
  return ::WriteFile(file, buffer, size, &written, nullptr) && written == size;
}

bool Seek(HANDLE file, uint64_t offset) {
  LARGE_INTEGER position;
  position.QuadPart = static_cast<LONGLONG>(offset);
  return ::SetFilePointerEx(file, position, nullptr, FILE_BEGIN) != FALSE;
}

bool CopyRange(HANDLE from, HANDLE to, uint64_t offset, uint64_t size) {
  if (!Seek(from, offset))
    return false;
  std::vector<uint8_t> chunk(kCopyChunkSize);
  while (size) {
    DWORD part = static_cast<DWORD>(std::min<uint64_t>(size, chunk.size()));
    if (!ReadExactly(from, chunk.data(), part) ||
        !WriteAll(to, chunk.data(), part)) {
      return false;
    }
    size -= part;
  }
  return true;
}

// The nested signatures of the primary signature in `pkcs7`, in order.
std::optional<std::vector<std::vector<uint8_t>>> NestedSignatures(
    const std::vector<uint8_t>& pkcs7) {
  base::ScopedCryptMsg message(::CryptMsgOpenToDecode(
      X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0, 0, 0, nullptr, nullptr));
  if (!message || !::CryptMsgUpdate(message.get(), pkcs7.data(),
                                    static_cast<DWORD>(pkcs7.size()), TRUE)) {
    return std::nullopt;
  }
  DWORD size = 0;
  if (!::CryptMsgGetParam(message.get(), CMSG_SIGNER_UNAUTH_ATTR_PARAM, 0,
                          nullptr, &size)) {
    return std::nullopt;
  }
  std::vector<uint8_t> buffer(size);
  if (!::CryptMsgGetParam(message.get(), CMSG_SIGNER_UNAUTH_ATTR_PARAM, 0,
                          buffer.data(), &size)) {
    return std::nullopt;
  }
  const auto* attributes = reinterpret_cast<CRYPT_ATTRIBUTES*>(buffer.data());
  std::vector<std::vector<uint8_t>> nested;
  for (DWORD i = 0; i < attributes->cAttr; ++i) {
    const CRYPT_ATTRIBUTE& attribute = attributes->rgAttr[i];
    if (!attribute.pszObjId ||
        std::strcmp(attribute.pszObjId, kNestedSignatureOid) != 0) {
      continue;
    }
    for (DWORD v = 0; v < attribute.cValue; ++v) {
      const CRYPT_ATTR_BLOB& value = attribute.rgValue[v];
      nested.emplace_back(value.pbData, value.pbData + value.cbData);
    }
  }
  return nested;
}

// The size of `file`; no value when it cannot be read.
std::optional<uint64_t> FileSize(HANDLE file) {
  LARGE_INTEGER size;
  if (!::GetFileSizeEx(file, &size))
    return std::nullopt;
  return static_cast<uint64_t>(size.QuadPart);
}

// The start of the image, enough for its headers.
std::optional<std::vector<uint8_t>> ReadHeaders(HANDLE file, uint64_t size) {
  std::vector<uint8_t> headers(
      static_cast<size_t>(std::min<uint64_t>(size, kHeaderReadSize)));
  if (!ReadExactly(file, headers.data(), static_cast<DWORD>(headers.size())))
    return std::nullopt;
  return headers;
}

// The certificate table of the image, when it has one of a sane size whose
// directory entry lies within the headers read.
std::optional<base::CertificateTableLocation> LocateUsableCertificateTable(
    const std::vector<uint8_t>& headers,
    uint64_t size) {
  std::optional<base::CertificateTableLocation> location =
      base::LocateCertificateTable(headers, size);
  if (!location || location->table_size > kMaxCertificateTableSize ||
      location->directory_entry_offset + sizeof(base::pe::DataDirectory) >
          headers.size()) {
    return std::nullopt;
  }
  return location;
}

std::optional<std::vector<uint8_t>> ReadRange(HANDLE file,
                                              uint64_t offset,
                                              uint32_t size) {
  std::vector<uint8_t> bytes(size);
  if (!Seek(file, offset) ||
      !ReadExactly(file, bytes.data(), static_cast<DWORD>(bytes.size()))) {
    return std::nullopt;
  }
  return bytes;
}

struct NestedSignatureLookup {
  enum Status { kFound, kMissing, kMalformed } status = kMissing;
  std::vector<uint8_t> signature;  // its DER element only, when found
};

// Nested signature `index` (1 for the first) of the primary signature in
// the first entry of `table`.
NestedSignatureLookup FindNestedSignature(const std::vector<uint8_t>& table,
                                          DWORD index) {
  constexpr size_t kEntryHeader = sizeof(base::pe::WinCertificateHeader);
  base::pe::WinCertificateHeader entry = {};
  base::ReadStructAt(std::span<const uint8_t>(table), 0, &entry);
  std::optional<size_t> pkcs7_length;
  if (entry.dwLength > kEntryHeader && entry.dwLength <= table.size()) {
    pkcs7_length =
        base::DerElementLength(std::span<const uint8_t>(table).subspan(
            kEntryHeader, entry.dwLength - kEntryHeader));
  }
  std::optional<std::vector<std::vector<uint8_t>>> nested;
  if (pkcs7_length) {
    nested = NestedSignatures(
        std::vector<uint8_t>(table.begin() + kEntryHeader,
                             table.begin() + kEntryHeader + *pkcs7_length));
  }
  NestedSignatureLookup lookup;
  if (!nested || nested->size() < index)
    return lookup;
  std::vector<uint8_t>& signature = (*nested)[index - 1];
  std::optional<size_t> signature_length = base::DerElementLength(signature);
  if (!signature_length) {
    lookup.status = NestedSignatureLookup::kMalformed;
    return lookup;
  }
  signature.resize(*signature_length);
  lookup.status = NestedSignatureLookup::kFound;
  lookup.signature = std::move(signature);
  return lookup;
}

// A new temporary file's name; empty when none can be made.
std::wstring NameTemporaryCopy() {
  wchar_t temp_dir[MAX_PATH + 1];
  wchar_t temp_file[MAX_PATH + 1];
  DWORD temp_length = ::GetTempPathW(MAX_PATH + 1, temp_dir);
  if (!temp_length || temp_length > MAX_PATH ||
      !::GetTempFileNameW(temp_dir, L"sig", 0, temp_file)) {
    return std::wstring();
  }
  return temp_file;
}

// The image of `source` with `new_table` in place of its certificate table
// and the directory entry sized to match, written to `copy` and rewound.
// Everything else is kept; those two are outside the Authenticode hash.
bool WriteImageWithTable(HANDLE source,
                         uint64_t size,
                         std::vector<uint8_t> headers,
                         const base::CertificateTableLocation& location,
                         const std::vector<uint8_t>& new_table,
                         HANDLE copy) {
  const uint32_t new_size = static_cast<uint32_t>(new_table.size());
  const size_t head = std::min<size_t>(headers.size(), location.table_offset);
  std::memcpy(&headers[location.directory_entry_offset +
                       offsetof(base::pe::DataDirectory, Size)],
              &new_size, sizeof(new_size));
  const uint64_t after_table =
      static_cast<uint64_t>(location.table_offset) + location.table_size;
  return WriteAll(copy, headers.data(), static_cast<DWORD>(head)) &&
         CopyRange(source, copy, head, location.table_offset - head) &&
         WriteAll(copy, new_table.data(), new_size) &&
         CopyRange(source, copy, after_table, size - after_table) &&
         Seek(copy, 0);
}

}  // namespace

WinTrustSession::WinTrustSession(std::wstring path, bool prevents_net_usage)
    : path_(std::move(path)), prevents_net_usage_(prevents_net_usage) {}

WinTrustSession::~WinTrustSession() {
  Close();
}

WinTrustSession::Outcome WinTrustSession::Verify(DWORD index, bool hash_only) {
  Close();
  Outcome outcome = Call(path_, nullptr, index, hash_only);
  if (outcome.raised)
    return outcome;
  secondary_count_ = settings_.cSecondarySigs;
  if (index == 0 || settings_.dwVerifiedSigIndex == index)
    return outcome;

  // The platform checked some other signature: check the nested one alone.
  CloseState();
  if (!IsolateNestedSignature(index)) {
    outcome.result = TRUST_E_NOSIGNATURE;
    return outcome;
  }
  return Call(copy_path_, copy_.get(), 0, hash_only);
}

CRYPT_PROVIDER_DATA* WinTrustSession::provider_data() const {
  if (!state_open_ || !data_.hWVTStateData)
    return nullptr;
  return ::WTHelperProvDataFromStateData(data_.hWVTStateData);
}

void WinTrustSession::Close() {
  CloseState();
  copy_.reset();
}

WinTrustSession::Outcome WinTrustSession::Call(const std::wstring& path,
                                               HANDLE file,
                                               DWORD index,
                                               bool hash_only) {
  CloseState();
  file_info_ = {};
  file_info_.cbStruct = sizeof(file_info_);
  file_info_.pcwszFilePath = path.c_str();
  file_info_.hFile = file;

  settings_ = {};
  settings_.cbStruct = sizeof(settings_);
  settings_.dwIndex = index;
  settings_.dwFlags = kWssVerifySpecific | kWssGetSecondarySigCount;
  settings_.dwVerifiedSigIndex = kIndexNotReported;

  data_ = {};
  data_.cbStruct = sizeof(data_);
  data_.dwUIChoice = WTD_UI_NONE;
  if (prevents_net_usage_) {
    data_.fdwRevocationChecks = WTD_REVOKE_NONE;
    data_.dwProvFlags = WTD_CACHE_ONLY_URL_RETRIEVAL;
  } else {
    data_.fdwRevocationChecks = WTD_REVOKE_WHOLECHAIN;
    data_.dwProvFlags = WTD_REVOCATION_CHECK_CHAIN;
  }
  if (hash_only)
    data_.dwProvFlags |= WTD_HASH_ONLY_FLAG;
  data_.dwUnionChoice = WTD_CHOICE_FILE;
  data_.pFile = &file_info_;
  data_.dwStateAction = WTD_STATEACTION_VERIFY;
  data_.dwUIContext = WTD_UICONTEXT_INSTALL;
  data_.pSignatureSettings = &settings_;

  Outcome outcome;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  base::ExceptionRecord exception;
  state_open_ = true;
  if (!base::CallWithExceptionGuard(
          [&] {
            outcome.result = ::WinVerifyTrust(
                static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data_);
          },
          &exception)) {
    outcome.raised = true;
    outcome.exception_code = exception.code;
  }
  return outcome;
}

void WinTrustSession::CloseState() {
  if (!state_open_)
    return;
  state_open_ = false;
  data_.dwStateAction = WTD_STATEACTION_CLOSE;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  // A failure to close leaves nothing to do but go on.
  base::CallWithExceptionGuard(
      [&] {
        ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action,
                         &data_);
      },
      nullptr);
  data_.hWVTStateData = nullptr;
}

bool WinTrustSession::IsolateNestedSignature(DWORD index) {
  base::ScopedFileHandle source(
      ::CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  const std::optional<uint64_t> size =
      source ? FileSize(source.get()) : std::nullopt;
  if (!size) {
    PLOG(ERROR) << "Failed to open " << path_ << " for signature " << index;
    return false;
  }
  std::optional<std::vector<uint8_t>> headers =
      ReadHeaders(source.get(), *size);
  if (!headers) {
    PLOG(ERROR) << "Failed to read the headers of " << path_;
    return false;
  }
  const std::optional<base::CertificateTableLocation> location =
      LocateUsableCertificateTable(*headers, *size);
  if (!location) {
    LOG(ERROR) << "No usable certificate table in " << path_;
    return false;
  }
  const std::optional<std::vector<uint8_t>> table =
      ReadRange(source.get(), location->table_offset, location->table_size);
  if (!table) {
    PLOG(ERROR) << "Failed to read the certificate table of " << path_;
    return false;
  }
  const NestedSignatureLookup nested = FindNestedSignature(*table, index);
  if (nested.status == NestedSignatureLookup::kMissing) {
    LOG(ERROR) << "Cannot find signature " << index << " in " << path_;
    return false;
  }
  if (nested.status == NestedSignatureLookup::kMalformed) {
    LOG(ERROR) << "Malformed signature " << index << " in " << path_;
    return false;
  }

  copy_path_ = NameTemporaryCopy();
  if (copy_path_.empty()) {
    PLOG(ERROR) << "Failed to name a copy of " << path_;
    return false;
  }
  // Deleted when the handle closes; WinVerifyTrust reads it through the
  // handle, so nobody can change it in between.
  copy_.reset(::CreateFileW(
      copy_path_.c_str(), GENERIC_READ | GENERIC_WRITE,
      FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
      FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  if (!copy_) {
    PLOG(ERROR) << "Failed to create " << copy_path_;
    ::DeleteFileW(copy_path_.c_str());
    return false;
  }
  if (!WriteImageWithTable(source.get(), *size, std::move(*headers), *location,
                           MakeCertificateTable(nested.signature),
                           copy_.get())) {
    PLOG(ERROR) << "Failed to write " << copy_path_;
    copy_.reset();
    return false;
  }
  return true;
}

}  // namespace install_util
